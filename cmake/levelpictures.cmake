# One level's pictures for the game data (cmake/gamedata.cmake), run with
# cmake -P. twinfold-art draws every level of a data folder, so each level is
# given a data folder of its own, STAGE, with its file and the palettes: one
# level's pictures are then one step of the build, made again only when what
# they are drawn from changes, and two levels are drawn side by side.
#
#   cmake -DART=twinfold-art -DLEVEL=data/levels/L.lvl -DPALETTES=palettes.txt
#         -DSTAGE=dir -DGAME=build/game -DLIST=L.pictures -P levelpictures.cmake
#
# With -DLISTS="A.pictures;B.pictures..." (in level file order) and -DDONE=file
# it checks instead that no two levels name the same picture.
cmake_minimum_required(VERSION 3.20)

if(DEFINED LISTS)
  # As the art does within one folder: the first level by file name keeps a
  # picture that a later one names too (its copy is put back), and the later
  # one is reported.
  set(clash FALSE)
  foreach(list ${LISTS})
    file(STRINGS ${list} names)
    list(POP_FRONT names level stage)
    foreach(name ${names})
      if(DEFINED owner_${name})
        message(SEND_ERROR "twinfold-art: ${level}: its picture ${name} is ${owner_${name}}'s; rename it")
        execute_process(COMMAND ${CMAKE_COMMAND} -E copy ${stage_${name}}/${name} ${GAME}/${name})
        set(clash TRUE)
      else()
        set(owner_${name} ${level})
        set(stage_${name} ${stage})
      endif()
    endforeach()
  endforeach()
  if(NOT clash)
    file(WRITE ${DONE} "")
  endif()
  return()
endif()

# 1. The level and the palettes into STAGE, afresh.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/out ${GAME})
file(COPY ${LEVEL} DESTINATION ${STAGE}/levels)
file(COPY ${PALETTES} DESTINATION ${STAGE}/art)

# 2. The art draws the level's pictures (PNGs) into STAGE/out, and the sprites
# (BMPs), which the game folder takes from a step of their own. Its messages
# name the level by its own path rather than the stage's copy.
get_filename_component(file ${LEVEL} NAME)
execute_process(COMMAND ${ART} ${STAGE} ${STAGE}/out
  RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT status EQUAL 0)
  string(REPLACE "${STAGE}/levels/${file}" "${LEVEL}" said "${said}")
  string(STRIP "${said}" said)
  message(NOTICE "${said}")
  message(FATAL_ERROR "pictures of ${LEVEL} not drawn")
endif()

# 3. The PNGs into GAME, a file whose bytes are the same left as it is (the
# browser build packs again what is newer), and their names into LIST after
# the level's path and the stage, for the check.
file(GLOB pictures RELATIVE ${STAGE}/out ${STAGE}/out/*.png)
foreach(p ${pictures})
  file(COPY_FILE ${STAGE}/out/${p} ${GAME}/${p} ONLY_IF_DIFFERENT)
endforeach()
list(JOIN pictures "\n" names)
file(WRITE ${LIST} "${LEVEL}\n${STAGE}/out\n${names}\n")

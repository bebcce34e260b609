# The game folder as the browser build ships it, build/game-web: build/game
# with every PNG picture recompressed by twinfold-webpng (the same pixels,
# smaller files) and every other file copied. The target `game-web` makes it
# (make web); each copy is a step with its own file and the tool as inputs.
# A copy whose bytes come out the same keeps its time, so that the browser
# build, which packs these files by their times, packs nothing again.
#
# Included after cmake/gamedata.cmake, whose game_files, levels and made it
# reads: the pictures a level names are known only once the art has drawn
# them, so a level's pictures are one step, after the list of them.
set(gameweb ${CMAKE_BINARY_DIR}/game-web)
set(webgamesteps ${CMAKE_CURRENT_LIST_DIR}/webpictures.cmake)
set(webgame_files "")

foreach(made_file ${game_files})
  string(FIND "${made_file}" "${game}/" at)
  if(NOT at EQUAL 0)
    continue()  # a step's own record, not a file of the game
  endif()
  string(LENGTH "${game}/" skip)
  string(SUBSTRING "${made_file}" ${skip} -1 relative)
  set(copy ${gameweb}/${relative})
  if(relative MATCHES "\\.png$")
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -DWEBPNG=$<TARGET_FILE:twinfold-webpng> -DFROM=${game}
        -DTO=${gameweb} -DSTAGE=${made}/web -DPICTURES=${relative} -P ${webgamesteps}
      DEPENDS twinfold-webpng ${made_file} ${webgamesteps}
      COMMENT "Recompressing ${relative}" VERBATIM)
  else()
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${made_file} ${copy}
      DEPENDS ${made_file} VERBATIM)
  endif()
  list(APPEND webgame_files ${copy})
endforeach()

foreach(level ${levels})
  get_filename_component(name ${level} NAME_WLE)
  add_custom_command(OUTPUT ${made}/${name}.webpictures
    COMMAND ${CMAKE_COMMAND} -DWEBPNG=$<TARGET_FILE:twinfold-webpng> -DFROM=${game}
      -DTO=${gameweb} -DSTAGE=${made}/web -DLIST=${made}/${name}.pictures
      -DDONE=${made}/${name}.webpictures -P ${webgamesteps}
    DEPENDS twinfold-webpng ${made}/${name}.pictures ${made}/pictures.checked ${webgamesteps}
    COMMENT "Recompressing ${name}'s pictures" VERBATIM)
  list(APPEND webgame_files ${made}/${name}.webpictures)
endforeach()

add_custom_target(game-web DEPENDS ${webgame_files})

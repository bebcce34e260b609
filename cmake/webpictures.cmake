# Pictures of the game folder recompressed for the browser build
# (cmake/webgame.cmake), run with cmake -P:
#
#   cmake -DWEBPNG=twinfold-webpng -DFROM=build/game -DTO=build/game-web
#         -DSTAGE=dir -DPICTURES="a.png;b.png" -P webpictures.cmake
#   cmake ... -DLIST=L.pictures -DDONE=L.webpictures -P webpictures.cmake
#
# PICTURES names them; LIST is a level's list of pictures from
# cmake/levelpictures.cmake (its level and stage, then the names), and DONE
# is written once they are in. Each is written into STAGE first and goes into
# TO only if its bytes differ, so that the copy keeps its time when a tool or
# level changed but the picture did not.
cmake_minimum_required(VERSION 3.20)

if(DEFINED LIST)
  file(STRINGS ${LIST} PICTURES)
  list(POP_FRONT PICTURES level stage)
endif()

set(pairs "")
foreach(p ${PICTURES})
  get_filename_component(dir ${p} DIRECTORY)
  file(MAKE_DIRECTORY ${STAGE}/${dir} ${TO}/${dir})
  list(APPEND pairs ${FROM}/${p} ${STAGE}/${p})
endforeach()
if(pairs)
  execute_process(COMMAND ${WEBPNG} ${pairs} RESULT_VARIABLE status OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "pictures not recompressed for the browser build")
  endif()
endif()
foreach(p ${PICTURES})
  file(COPY_FILE ${STAGE}/${p} ${TO}/${p} ONLY_IF_DIFFERENT)
  file(REMOVE ${STAGE}/${p})
endforeach()
if(DEFINED DONE)
  file(WRITE ${DONE} "")
endif()

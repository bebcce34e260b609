# Included into the project (CMAKE_PROJECT_INCLUDE) by scripts/bench-tricks.sh
# for a second build that leaves out the speed tricks named in TWINFOLD_WITHOUT
# (runs, shuffle, hugepages), so that each can be measured with and without.
# The switch sits on the files of the trick alone: changing it rebuilds those.
set(TWINFOLD_WITHOUT "" CACHE STRING "speed tricks to leave out: runs, shuffle, hugepages")
set(twinfold_trick_runs src/audio/music.cpp)
set(twinfold_trick_shuffle src/graphics/bitmap.cpp src/graphics/tiles.cpp)
set(twinfold_trick_hugepages src/main/heap.cpp)
foreach(trick runs shuffle hugepages)
  string(TOUPPER ${trick} name)
  if(trick IN_LIST TWINFOLD_WITHOUT)
    set_source_files_properties(${twinfold_trick_${trick}}
                                PROPERTIES COMPILE_DEFINITIONS TWINFOLD_WITHOUT_${name})
  endif()
endforeach()

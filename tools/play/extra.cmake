# The test-play tests drive the built program and the game it starts, so
# building the tests builds both.
function(twinfold_play_test_dependency)
  if(TARGET twinfold_tests)
    add_dependencies(twinfold_tests twinfold-play twinfold)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL twinfold_play_test_dependency)

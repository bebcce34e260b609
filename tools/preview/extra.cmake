# The preview tests drive the built program, so building the tests builds it too.
function(twinfold_preview_test_dependency)
  if(TARGET twinfold_tests)
    add_dependencies(twinfold_tests twinfold-preview)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL twinfold_preview_test_dependency)

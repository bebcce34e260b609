# The media maker sets its text with FreeType at build time.
find_package(Freetype REQUIRED)
target_link_libraries(twinfold-${tool} Freetype::Freetype)

# The media tests drive the built program, so building the tests builds it too.
function(twinfold_media_test_dependency)
  if(TARGET twinfold_tests)
    add_dependencies(twinfold_tests twinfold-media)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL twinfold_media_test_dependency)

# The media maker sets its text with FreeType at build time; its tests drive
# the built program.
find_package(Freetype REQUIRED)
target_link_libraries(twinfold-${tool} Freetype::Freetype twinfold_audio)
list(APPEND TWINFOLD_TEST_NEEDS twinfold-media)

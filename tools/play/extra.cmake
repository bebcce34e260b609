# Watching a replay plays the game's own shell headless to make the input
# script, and the input driver feeds that script to the real game: a preload
# library beside the programs, libtwinfold_driver.so. The test-play tests
# drive the built program and the game it starts.
target_link_libraries(twinfold-${tool} twinfold_script twinfold_pack)
add_library(twinfold_driver MODULE ${dir}/driver/driver.c)
target_include_directories(twinfold_driver PRIVATE ${SDL_INCLUDE_DIRS} ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(twinfold_driver ${CMAKE_DL_LIBS} OpenGL::GL)
set_target_properties(twinfold_driver PROPERTIES PREFIX "lib" OUTPUT_NAME twinfold_driver)
list(APPEND TWINFOLD_TEST_NEEDS twinfold-play twinfold_driver)

# The game's libraries, one a folder of src/, defined once for the main build
# and the fuzz build (fuzz/CMakeLists.txt). The including project has found
# SDL, PNG, OpenGL and Threads first, and sets its own compile options.
#
#   twinfold_audio     src/audio     ADX decoding, WAV reading, the mixer    SDL
#   twinfold_graphics  src/graphics  pictures, textures, graphics layers     libpng, OpenGL
#   twinfold_rules     src/world     level loading, step, collisions, shift  (audio)
#   twinfold_game      src/main, src/menu and the world's drawing            everything above
#   twinfold_kit       src/kit       replays, snapshots, solver, checker, preview
#   twinfold_content   src/content   writers the content makers share       libpng
#
# TWINFOLD_PLATFORM picks the one src/main/platform_<name>.cpp the game is built
# with: native (the default) or web.
if(NOT TWINFOLD_PLATFORM)
  set(TWINFOLD_PLATFORM native)
endif()
get_filename_component(TWINFOLD_TOP ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(src ${TWINFOLD_TOP}/src)

# The world's drawing and picture making: the only world files that reach OpenGL.
set(TWINFOLD_WORLD_DRAWING ${src}/world/render.cpp)

file(GLOB audio_sources CONFIGURE_DEPENDS ${src}/audio/*.cpp)
add_library(twinfold_audio STATIC ${audio_sources})
target_include_directories(twinfold_audio PUBLIC ${src} ${SDL_INCLUDE_DIRS})
target_link_libraries(twinfold_audio PUBLIC ${SDL_LINK_LIBRARIES} Threads::Threads m)

file(GLOB graphics_sources CONFIGURE_DEPENDS ${src}/graphics/*.cpp)
add_library(twinfold_graphics STATIC ${graphics_sources})
target_include_directories(twinfold_graphics PUBLIC ${src} ${SDL_INCLUDE_DIRS} ${PNG_INCLUDE_DIRS})
target_link_libraries(twinfold_graphics PUBLIC ${SDL_LINK_LIBRARIES} ${PNG_LINK_LIBRARIES} OpenGL::GL)

file(GLOB rules_sources CONFIGURE_DEPENDS ${src}/world/*.cpp)
list(REMOVE_ITEM rules_sources ${TWINFOLD_WORLD_DRAWING})
add_library(twinfold_rules STATIC ${rules_sources})
target_link_libraries(twinfold_rules PUBLIC twinfold_audio twinfold_graphics)

file(GLOB game_sources CONFIGURE_DEPENDS ${src}/main/*.cpp ${src}/menu/*.cpp)
list(FILTER game_sources EXCLUDE REGEX ".*/src/main/(main|platform_[a-z]+)\\.cpp$")
list(APPEND game_sources ${src}/main/platform_${TWINFOLD_PLATFORM}.cpp)
add_library(twinfold_game STATIC ${game_sources} ${TWINFOLD_WORLD_DRAWING})
target_link_libraries(twinfold_game PUBLIC twinfold_rules twinfold_graphics twinfold_audio)

file(GLOB kit_sources CONFIGURE_DEPENDS ${src}/kit/*.cpp)
add_library(twinfold_kit STATIC ${kit_sources})
target_link_libraries(twinfold_kit PUBLIC twinfold_rules)

file(GLOB content_sources CONFIGURE_DEPENDS ${src}/content/*.cpp)
add_library(twinfold_content STATIC ${content_sources})
target_include_directories(twinfold_content PUBLIC ${src} ${PNG_INCLUDE_DIRS})
target_link_libraries(twinfold_content PUBLIC ${PNG_LINK_LIBRARIES})

# The game's libraries, one a folder of src/, defined once for the main build
# and the fuzz build (fuzz/CMakeLists.txt). The including project has found
# SDL, PNG, ZIP (libzip), OpenGL and Threads first, and sets its own compile options.
#
#   twinfold_audio     src/audio     ADX decoding, WAV reading, the mixer    SDL
#   twinfold_pictures  src/graphics  decoding pictures, cutting them in tiles SDL, libpng
#   twinfold_graphics  src/graphics  textures and graphics layers             OpenGL
#   twinfold_rules     src/world     level loading, step, collisions, shift  audio (the mixer lock)
#   twinfold_game      src/main, src/menu and the world's drawing            everything above
#   twinfold_kit       src/kit       replays, snapshots, solver, checker, preview
#   twinfold_script    src/kit/playscript: replays into the real game's input, on the game's shell
#   twinfold_pack      src/kit/pack*: level packs, read and written          libzip
#   twinfold_content   src/content   writers the content makers share       libpng
#
# TWINFOLD_PLATFORM picks the one src/main/platform_<name>.cpp the game is built
# with: native (the default) or web.
if(NOT TWINFOLD_PLATFORM)
  set(TWINFOLD_PLATFORM native)
endif()
get_filename_component(TWINFOLD_TOP ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(src ${TWINFOLD_TOP}/src)

# The world's drawing and picture making: the only world files that reach OpenGL
# or libpng. The rules hold pictures through the maker that pictures.cpp gives.
set(TWINFOLD_WORLD_DRAWING ${src}/world/render.cpp ${src}/world/pictures.cpp)

file(GLOB audio_sources CONFIGURE_DEPENDS ${src}/audio/*.cpp)
add_library(twinfold_audio STATIC ${audio_sources})
target_include_directories(twinfold_audio PUBLIC ${src} ${SDL_INCLUDE_DIRS})
target_link_libraries(twinfold_audio PUBLIC ${SDL_LINK_LIBRARIES} Threads::Threads m)

# Pictures are read and cut without a screen (the checker reads them too);
# only textures and layers reach OpenGL.
set(TWINFOLD_GL_SOURCES ${src}/graphics/texture.cpp ${src}/graphics/glayer.cpp)
file(GLOB pictures_sources CONFIGURE_DEPENDS ${src}/graphics/*.cpp)
list(REMOVE_ITEM pictures_sources ${TWINFOLD_GL_SOURCES})
add_library(twinfold_pictures STATIC ${pictures_sources})
target_include_directories(twinfold_pictures PUBLIC ${src} ${SDL_INCLUDE_DIRS} ${PNG_INCLUDE_DIRS})
target_link_libraries(twinfold_pictures PUBLIC ${SDL_LINK_LIBRARIES} ${PNG_LINK_LIBRARIES})

add_library(twinfold_graphics STATIC ${TWINFOLD_GL_SOURCES})
target_link_libraries(twinfold_graphics PUBLIC twinfold_pictures OpenGL::GL)

file(GLOB rules_sources CONFIGURE_DEPENDS ${src}/world/*.cpp)
list(REMOVE_ITEM rules_sources ${TWINFOLD_WORLD_DRAWING})
add_library(twinfold_rules STATIC ${rules_sources})
target_link_libraries(twinfold_rules PUBLIC twinfold_audio)

file(GLOB game_sources CONFIGURE_DEPENDS ${src}/main/*.cpp ${src}/menu/*.cpp)
list(FILTER game_sources EXCLUDE REGEX ".*/src/main/(main|platform_[a-z]+)\\.cpp$")
list(APPEND game_sources ${src}/main/platform_${TWINFOLD_PLATFORM}.cpp)
add_library(twinfold_game STATIC ${game_sources} ${TWINFOLD_WORLD_DRAWING})
target_link_libraries(twinfold_game PUBLIC twinfold_rules twinfold_graphics twinfold_audio)

file(GLOB kit_sources CONFIGURE_DEPENDS ${src}/kit/*.cpp)
set(pack_sources ${src}/kit/pack.cpp ${src}/kit/packmake.cpp ${src}/kit/packsite.cpp)
list(REMOVE_ITEM kit_sources ${src}/kit/playscript.cpp ${pack_sources})
add_library(twinfold_kit STATIC ${kit_sources})
# The checker reads picture headers and the tiling from graphics itself.
target_link_libraries(twinfold_kit PUBLIC twinfold_rules twinfold_pictures)

# Packs are the one part of the kit on libzip, built where the project found it.
if(ZIP_FOUND)
  add_library(twinfold_pack STATIC ${pack_sources})
  target_include_directories(twinfold_pack PUBLIC ${ZIP_INCLUDE_DIRS})
  target_link_libraries(twinfold_pack PUBLIC twinfold_kit ${ZIP_LINK_LIBRARIES})
endif()

# Play scripts run the game's own shell and menu, so they sit on the game.
add_library(twinfold_script STATIC ${src}/kit/playscript.cpp)
target_link_libraries(twinfold_script PUBLIC twinfold_kit twinfold_game)

file(GLOB content_sources CONFIGURE_DEPENDS ${src}/content/*.cpp)
add_library(twinfold_content STATIC ${content_sources})
target_include_directories(twinfold_content PUBLIC ${src} ${PNG_INCLUDE_DIRS})
# zlib for the browser's pictures, deflated by hand (pngsmall.cpp).
target_link_libraries(twinfold_content PUBLIC ${PNG_LINK_LIBRARIES} z)

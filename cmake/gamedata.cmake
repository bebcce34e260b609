# The game data in build/game, made from the text sources in data/ by the
# content tools: each file is a step of the build with what it is made from,
# so that `make` makes again only what a changed source or tool makes, and
# two steps run side by side. `make game` (scripts/make-game.sh) builds the
# target `game`; it is not part of the default build, because the sanitizer
# builds take the plain build's data rather than drawing it again.
#
#   LEVEL.lvl                       data/levels/LEVEL.lvl, copied
#   the pictures LEVEL.lvl names    twinfold-art, from LEVEL.lvl and data/art/palettes.txt
#   the hero's sheet, the pickups   twinfold-art
#   menu.adx, song.adx              twinfold-media and twinfold-adx, from data/media/*.score
#   the menu's pictures             twinfold-media, from data/media/*.txt and the DejaVu fonts
#   audio/*.wav                     twinfold-media
#
# TWINFOLD_DATA (data/ by default) and TWINFOLD_GAME (build/game) may be set
# before this file is included; the tools are the targets twinfold-art,
# twinfold-media and twinfold-adx.
if(NOT TWINFOLD_DATA)
  set(TWINFOLD_DATA ${CMAKE_SOURCE_DIR}/data)
endif()
if(NOT TWINFOLD_GAME)
  set(TWINFOLD_GAME ${CMAKE_BINARY_DIR}/game)
endif()
set(game ${TWINFOLD_GAME})
set(made ${CMAKE_BINARY_DIR}/gamedata)  # what the steps make on the way
set(game_files "")

# 1. Each music track (first: the longest steps start first): the score
# rendered to a WAV, which prints its length in frames, then encoded to ADX
# looping over the whole piece (the renderer makes its end run on into its start).
file(GLOB scores CONFIGURE_DEPENDS ${TWINFOLD_DATA}/media/*.score)
foreach(score ${scores})
  get_filename_component(track ${score} NAME_WLE)
  add_custom_command(OUTPUT ${made}/${track}.wav ${made}/${track}.frames
    COMMAND ${CMAKE_COMMAND} -E make_directory ${made}
    COMMAND sh -c "\"$0\" music \"$1\" \"$2\" >\"$3.new\" && mv \"$3.new\" \"$3\""
      $<TARGET_FILE:twinfold-media> ${score} ${made}/${track}.wav ${made}/${track}.frames
    DEPENDS twinfold-media ${score}
    COMMENT "Rendering ${track}.score" VERBATIM)
  add_custom_command(OUTPUT ${game}/${track}.adx
    COMMAND sh -c "\"$0\" encode \"$1\" \"$2\" --loop 0 \"$(cat \"$3\")\""
      $<TARGET_FILE:twinfold-adx> ${made}/${track}.wav ${game}/${track}.adx ${made}/${track}.frames
    DEPENDS twinfold-adx ${made}/${track}.wav ${made}/${track}.frames
    COMMENT "Encoding ${track}.adx" VERBATIM)
  list(APPEND game_files ${game}/${track}.adx)
endforeach()

# 2. The levels and their pictures, a step for each level (a new level file
# configures again). The art draws a whole data folder; cmake/levelpictures.cmake
# gives it one level at a time.
set(palettes ${TWINFOLD_DATA}/art/palettes.txt)
set(levelpictures ${CMAKE_CURRENT_LIST_DIR}/levelpictures.cmake)
file(GLOB levels CONFIGURE_DEPENDS ${TWINFOLD_DATA}/levels/*.lvl)
set(picturelists "")
foreach(level ${levels})
  get_filename_component(file ${level} NAME)
  get_filename_component(name ${level} NAME_WLE)
  add_custom_command(OUTPUT ${game}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${level} ${game}/${file}
    DEPENDS ${level} VERBATIM)
  add_custom_command(OUTPUT ${made}/${name}.pictures
    COMMAND ${CMAKE_COMMAND} -DART=$<TARGET_FILE:twinfold-art> -DLEVEL=${level}
      -DPALETTES=${palettes} -DSTAGE=${made}/${name} -DGAME=${game}
      -DLIST=${made}/${name}.pictures -P ${levelpictures}
    DEPENDS twinfold-art ${level} ${palettes} ${levelpictures}
    COMMENT "Drawing ${file}'s pictures" VERBATIM)
  list(APPEND game_files ${game}/${file})
  list(APPEND picturelists ${made}/${name}.pictures)
endforeach()
# No two levels may name the same picture (they would be drawn over each other).
add_custom_command(OUTPUT ${made}/pictures.checked
  COMMAND ${CMAKE_COMMAND} "-DLISTS=${picturelists}" -DGAME=${game}
    -DDONE=${made}/pictures.checked -P ${levelpictures}
  DEPENDS ${picturelists} ${levelpictures} VERBATIM)
list(APPEND game_files ${made}/pictures.checked)

# 3. The hero's sprite sheet and the pickup pictures: the art on a data folder
# without levels.
set(sprites orvik_spritesheet.bmp orvik_spritesheet_alpha.bmp
  viewmaster.bmp viewmaster.a.bmp viewmaster_card.bmp viewmaster_card.a.bmp)
list(TRANSFORM sprites PREPEND ${game}/)
add_custom_command(OUTPUT ${sprites}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${made}/sprites
  COMMAND ${CMAKE_COMMAND} -E make_directory ${made}/sprites/levels ${made}/sprites/art ${game}
  COMMAND ${CMAKE_COMMAND} -E copy ${palettes} ${made}/sprites/art/
  COMMAND twinfold-art ${made}/sprites ${game}
  DEPENDS twinfold-art ${palettes}
  COMMENT "Drawing the hero and the pickups" VERBATIM)
list(APPEND game_files ${sprites})

# 4. The menu's pictures, the story and credits pages set in the DejaVu fonts.
set(menupictures orvik_menu.png credits.png orvik_end01.png orvik_end02.png)
foreach(page RANGE 1 5)
  list(APPEND menupictures orvik_intro0${page}.png)
endforeach()
foreach(button ar b1 b2 b3 b4 bhl)
  list(APPEND menupictures ${button}.bmp ${button}.a.bmp)
endforeach()
list(TRANSFORM menupictures PREPEND ${game}/)
file(GLOB pagesources CONFIGURE_DEPENDS ${TWINFOLD_DATA}/media/*.txt)
file(GLOB fonts /usr/share/fonts/truetype/dejavu/DejaVu*.ttf)
add_custom_command(OUTPUT ${menupictures}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${game}
  COMMAND twinfold-media pictures ${TWINFOLD_DATA}/media ${game}
  DEPENDS twinfold-media ${pagesources} ${fonts}
  COMMENT "Making the menu's pictures" VERBATIM)
list(APPEND game_files ${menupictures})

# 5. The sound effects.
set(effects twinfold.wav pickup.wav)
foreach(step RANGE 1 7)
  list(APPEND effects Foot_Concrete_0${step}.wav)
endforeach()
list(TRANSFORM effects PREPEND ${game}/audio/)
add_custom_command(OUTPUT ${effects}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${game}/audio
  COMMAND twinfold-media effects ${game}/audio
  DEPENDS twinfold-media
  COMMENT "Making the sound effects" VERBATIM)
list(APPEND game_files ${effects})

add_custom_target(game DEPENDS ${game_files})

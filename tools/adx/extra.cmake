# The ADX encoder checks its output with the game's own decoder and heap set-up.
target_link_libraries(twinfold-${tool} twinfold_game)

# The test-play tests drive the built program and the game it starts.
list(APPEND TWINFOLD_TEST_NEEDS twinfold-play)

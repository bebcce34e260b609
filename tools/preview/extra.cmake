# The preview tests drive the built program.
list(APPEND TWINFOLD_TEST_NEEDS twinfold-preview)

# Packs are read and written through libzip, in the pack library.
target_link_libraries(twinfold-${tool} twinfold_pack)
list(APPEND TWINFOLD_TEST_NEEDS twinfold-pack)

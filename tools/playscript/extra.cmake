# The play scripts' maker lives in the shell's script library.
target_link_libraries(twinfold-${tool} twinfold_script)

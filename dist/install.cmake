# Installing the game after Debian's layout for games, and the Debian package.
# Every destination is relative to the install prefix: the launcher finds the
# engine and the data beside its own folder, so the prefix can be anything.
#
#   PREFIX/games/twinfold                  the launcher (enters the data folder)
#   PREFIX/games/twinfold-TOOL             the level tools
#   PREFIX/lib/games/twinfold/twinfold     the engine
#   PREFIX/share/games/twinfold/           the game data made in build/game
#   PREFIX/share/applications, icons, metainfo, man/man6

set(TWINFOLD_RELEASE_DATE 2026-12-08)  # the date of the release named by project(VERSION)
set(TWINFOLD_BINDIR games)
set(TWINFOLD_ENGINEDIR lib/games/twinfold)
set(TWINFOLD_DATADIR share/games/twinfold)
set(TWINFOLD_MANDIR share/man/man6)
set(TWINFOLD_ICON_SIZES 16 22 24 32 48 64 128 256)
# The level tools a player or level maker runs; the content makers stay behind.
set(TWINFOLD_INSTALLED_TOOLS check solve replay preview play level difficulty pack)

set(dist ${CMAKE_SOURCE_DIR}/dist)
set(made ${CMAKE_BINARY_DIR}/dist)

# 1. The game data and the icons are made by `make` (scripts/make-game.sh and
# scripts/make-icons.sh), not by CMake: refuse an install without them.
install(CODE "
  foreach(f game/tutorial1.lvl icons/256x256/twinfold.png)
    if(NOT EXISTS \"${CMAKE_BINARY_DIR}/\${f}\")
      message(FATAL_ERROR \"${CMAKE_BINARY_DIR}/\${f} is missing: run make first\")
    endif()
  endforeach()")

# 2. The engine, the launcher and the tools.
install(TARGETS twinfold RUNTIME DESTINATION ${TWINFOLD_ENGINEDIR})
if(TARGET twinfold_driver)  # twinfold-play --replay feeds the game through it
  install(TARGETS twinfold_driver LIBRARY DESTINATION ${TWINFOLD_ENGINEDIR})
endif()
install(PROGRAMS ${dist}/twinfold.sh DESTINATION ${TWINFOLD_BINDIR} RENAME twinfold)
set(manpages twinfold)
foreach(tool ${TWINFOLD_INSTALLED_TOOLS})
  if(TARGET twinfold-${tool})
    install(TARGETS twinfold-${tool} RUNTIME DESTINATION ${TWINFOLD_BINDIR})
    list(APPEND manpages twinfold-${tool})
  endif()
endforeach()

# 3. The game data, and the level editor's extension beside it.
install(DIRECTORY ${CMAKE_BINARY_DIR}/game/ DESTINATION ${TWINFOLD_DATADIR})
file(GLOB tiled_scripts ${CMAKE_SOURCE_DIR}/tools/tiled/*.js)
if(tiled_scripts)
  install(FILES ${tiled_scripts} DESTINATION ${TWINFOLD_DATADIR}/tiled)
endif()

# 4. The desktop's files: menu entry, icons, AppStream record.
# The menu entry names the launcher by its full path, as Debian's games do: a
# desktop session's PATH need not hold the games folder. The path is known only
# when installing (cmake --install --prefix, or CPack's /usr), so the entry is
# written then.
install(CODE "
  set(TWINFOLD_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${TWINFOLD_BINDIR}/twinfold\")
  set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/twinfold.desktop\")
  message(STATUS \"Installing: \${entry}\")
  configure_file(\"${dist}/twinfold.desktop.in\" \"\${entry}\" @ONLY)")
foreach(size ${TWINFOLD_ICON_SIZES})
  install(FILES ${CMAKE_BINARY_DIR}/icons/${size}x${size}/twinfold.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
configure_file(${dist}/org.twinfold.twinfold.metainfo.xml.in
  ${made}/org.twinfold.twinfold.metainfo.xml @ONLY)
install(FILES ${made}/org.twinfold.twinfold.metainfo.xml DESTINATION share/metainfo)

# 5. Manual pages, with the version filled in and compressed as Debian wants
# them (gzip -n: no name or time stamp, so the same bytes on every build).
set(VERSION ${PROJECT_VERSION})
set(manfiles)
foreach(page ${manpages})
  configure_file(${dist}/man/${page}.6 ${made}/${page}.6 @ONLY)
  add_custom_command(OUTPUT ${made}/${page}.6.gz
    COMMAND sh -c "gzip -9n -c '${made}/${page}.6' > '${made}/${page}.6.gz'"
    DEPENDS ${made}/${page}.6 VERBATIM)
  list(APPEND manfiles ${made}/${page}.6.gz)
endforeach()
add_custom_target(manpages ALL DEPENDS ${manfiles})
install(FILES ${manfiles} DESTINATION ${TWINFOLD_MANDIR})

# 6. `make package`: a Debian package whose dependencies dpkg-shlibdeps reads
# from the libraries the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME twinfold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Twinfold developers <maintainers@twinfold.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "platform game in which you fold the world")
# CPack sets the summary above this text as the description's first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Twinfold is a small two-dimensional platform game with its own engine. You
steer a hero through side-on levels of ledges, slopes and spikes, take
pickups, touch checkpoints and reach each level's exit.
.
Its own mechanic is the plane shift: hold the shift control and the world
stands still while you drag a shift vector; let go, and the hero crosses to
the spot the fold shows, if there is room to stand. Twenty levels in two
worlds, with original pictures, music and sounds.
.
The package also holds the tools for level makers, twinfold-check and the
others built with it.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL opens OpenGL's window-system half (GLX) at run time, so no linked
# library names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)

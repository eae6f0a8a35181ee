# cmake --install: the two programs, the game's data, its desktop entry, icons, metainfo and
# manual page, and the score server's systemd unit and manual page.
#
# GNUInstallDirs throughout. Debian's games layout (-DCMAKE_INSTALL_BINDIR=games
# -DCMAKE_INSTALL_DATADIR=share/games) moves only the game and its data: what desktops and
# man look for stays under the data root and the man folder, and the server stays in bin.
include(GNUInstallDirs)

set(ORBELLE_APP_ID "io.github.orbelle.Orbelle")
set(ORBELLE_SYSTEMD_UNIT_DIR "lib/systemd/system" CACHE STRING
    "Where the score server's systemd unit goes, relative to the install prefix")
if(CMAKE_INSTALL_BINDIR MATCHES "(^|/)games$")
  set(server_bindir_default "bin")
else()
  set(server_bindir_default "${CMAKE_INSTALL_BINDIR}")
endif()
set(ORBELLE_SERVER_BINDIR "${server_bindir_default}" CACHE STRING
    "Where the score server goes (a daemon is no game: bin even in the games layout)")

# The installed game finds its data relative to its own executable, so the installed tree can
# move; the full path chosen here is its fallback.
set(ORBELLE_INSTALL_DATA_ROOT "${CMAKE_INSTALL_FULL_DATADIR}/orbelle")
file(RELATIVE_PATH ORBELLE_DATA_ROOT_FROM_BIN "${CMAKE_INSTALL_FULL_BINDIR}"
     "${ORBELLE_INSTALL_DATA_ROOT}")
set_source_files_properties(game/user_paths.cpp PROPERTIES COMPILE_DEFINITIONS
    "ORBELLE_INSTALL_DATA_ROOT=\"${ORBELLE_INSTALL_DATA_ROOT}\";ORBELLE_DATA_ROOT_FROM_BIN=\"${ORBELLE_DATA_ROOT_FROM_BIN}\"")

install(TARGETS orbelle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS orbelle-score-server RUNTIME DESTINATION ${ORBELLE_SERVER_BINDIR})
# The icons go to the icon theme below; of them the game itself reads only its window icon.
install(DIRECTORY data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/orbelle/data
        REGEX "icons/.*" EXCLUDE)
install(FILES data/icons/orbelle-64.png DESTINATION ${CMAKE_INSTALL_DATADIR}/orbelle/data/icons)

install(FILES dist/${ORBELLE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES dist/${ORBELLE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
foreach(size 16 32 48 64 128 256)
  install(FILES data/icons/orbelle-${size}.png RENAME orbelle.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES data/icons/orbelle.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
# Man pages go where man looks, whatever the data layout.
install(FILES dist/man/orbelle.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES dist/man/orbelle-score-server.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)

# The unit names the server by its full installed path, known only once the prefix is: the
# prefix given to cmake --install wins over the one chosen at configure time.
if(IS_ABSOLUTE "${ORBELLE_SERVER_BINDIR}")
  set(unit_bindir "${ORBELLE_SERVER_BINDIR}")
else()
  set(unit_bindir "\${CMAKE_INSTALL_PREFIX}/${ORBELLE_SERVER_BINDIR}")
endif()
install(CODE "
  set(ORBELLE_BINDIR \"${unit_bindir}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/dist/orbelle-score-server.service.in\"
                 \"${CMAKE_BINARY_DIR}/dist/orbelle-score-server.service\" @ONLY)
")
install(FILES ${CMAKE_BINARY_DIR}/dist/orbelle-score-server.service
        DESTINATION ${ORBELLE_SYSTEMD_UNIT_DIR})

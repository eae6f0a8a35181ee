# cmake --install: the two programs, the game's data, its desktop entry and icon, and the
# score server's manual page and systemd unit.
include(GNUInstallDirs)

set(ORBELLE_SYSTEMD_UNIT_DIR "lib/systemd/system" CACHE STRING
    "Where the score server's systemd unit goes, relative to the install prefix")

# The installed game finds its data relative to its own executable, so the installed tree can
# move; the full path chosen here is its fallback.
set(ORBELLE_INSTALL_DATA_ROOT "${CMAKE_INSTALL_FULL_DATADIR}/orbelle")
file(RELATIVE_PATH ORBELLE_DATA_ROOT_FROM_BIN "${CMAKE_INSTALL_FULL_BINDIR}"
     "${ORBELLE_INSTALL_DATA_ROOT}")
set_source_files_properties(game/user_paths.cpp PROPERTIES COMPILE_DEFINITIONS
    "ORBELLE_INSTALL_DATA_ROOT=\"${ORBELLE_INSTALL_DATA_ROOT}\";ORBELLE_DATA_ROOT_FROM_BIN=\"${ORBELLE_DATA_ROOT_FROM_BIN}\"")

install(TARGETS orbelle orbelle-score-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/orbelle/data)
install(FILES dist/orbelle.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/man/orbelle-score-server.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES data/orbelle-icon.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME orbelle.png)

# The unit names the server by its full installed path, known only once the prefix is: the
# prefix given to cmake --install wins over the one chosen at configure time.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
  set(unit_bindir "${CMAKE_INSTALL_BINDIR}")
else()
  set(unit_bindir "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}")
endif()
install(CODE "
  set(ORBELLE_BINDIR \"${unit_bindir}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/dist/orbelle-score-server.service.in\"
                 \"${CMAKE_BINARY_DIR}/dist/orbelle-score-server.service\" @ONLY)
")
install(FILES ${CMAKE_BINARY_DIR}/dist/orbelle-score-server.service
        DESTINATION ${ORBELLE_SYSTEMD_UNIT_DIR})

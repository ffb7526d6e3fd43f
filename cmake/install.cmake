# `cmake --install build --prefix DIR` (scripts/install uses ~/.local): the program and the
# command-line tool on the PATH, the tool's chart renderer in libexec, a desktop entry and the
# icon.
install(TARGETS kx3105 kx3105-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kx3105)
install(TARGETS kx3105-cli-charts
        RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR} COMPONENT kx3105)
install(FILES ${PROJECT_SOURCE_DIR}/app/share/kx3105.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT kx3105)
install(FILES ${PROJECT_SOURCE_DIR}/app/share/kx3105.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT kx3105)

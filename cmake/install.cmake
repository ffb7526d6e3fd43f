# `cmake --install build --prefix DIR` (scripts/install uses ~/.local): the program, the
# command-line tool with its chart renderer beside it, a desktop entry and the icon.
include(GNUInstallDirs)
install(TARGETS kx3105 kx3105-cli kx3105-cli-charts
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kx3105)
install(FILES ${PROJECT_SOURCE_DIR}/app/share/kx3105.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT kx3105)
install(FILES ${PROJECT_SOURCE_DIR}/app/share/kx3105.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT kx3105)

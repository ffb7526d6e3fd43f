# `cmake --install build --prefix DIR` (scripts/install uses ~/.local): the program and the
# command-line tool on the PATH, the tool's chart renderer in libexec, a desktop entry and the
# icon (component kx3105); the instrument server with its systemd unit (component server).
install(TARGETS kx3105 kx3105-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kx3105)
install(TARGETS kx3105-cli-charts
        RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR} COMPONENT kx3105)
install(FILES ${PROJECT_SOURCE_DIR}/app/share/kx3105.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT kx3105)
install(FILES ${PROJECT_SOURCE_DIR}/app/share/kx3105.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT kx3105)

install(TARGETS kx3105-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
# The unit names the program by its installed path, known only when installing (a package is
# installed under /usr whatever the build's prefix).
install(CODE "
    set(KX_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/server/share/kx3105-server.service.in\"
                   \"${PROJECT_BINARY_DIR}/kx3105-server.service\" @ONLY)"
        COMPONENT server)
install(FILES ${PROJECT_BINARY_DIR}/kx3105-server.service
        DESTINATION lib/systemd/system COMPONENT server)

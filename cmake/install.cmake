# `cmake --install build --prefix DIR` (scripts/install uses ~/.local): the program and the
# command-line tool on the PATH, the tool's chart renderer in libexec, a desktop entry and the
# icon, their manual pages, the tool's bash completion, the copyright and the changelog
# (component kx3105); the instrument server with its systemd unit, its options file, its manual
# page and completion (component server). What is not built yet is named first
# (cmake/install_check.cmake).

set(KX_DOC_FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
                 ${PROJECT_BINARY_DIR}/doc/changelog.gz)

# The changelog as Debian keeps it, compressed without a time stamp.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/changelog.gz
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
                   COMMAND gzip -9n < ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
                           > ${PROJECT_BINARY_DIR}/doc/changelog.gz
                   DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
add_custom_target(kx3105_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/doc/changelog.gz)
add_dependencies(kx3105_manuals kx3105_changelog)

install(TARGETS kx3105 kx3105-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kx3105)
install(TARGETS kx3105-cli-charts
        RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR} COMPONENT kx3105)
install(FILES ${PROJECT_SOURCE_DIR}/app/share/kx3105.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT kx3105)
install(FILES ${PROJECT_SOURCE_DIR}/app/share/kx3105.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT kx3105)
install(FILES ${kx_pages_of_kx3105} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT kx3105)
# Where bash-completion looks: PREFIX/share (XDG_DATA_DIRS; ~/.local/share is the user's own).
install(FILES ${KX_SHELL_DIR}/kx3105-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT kx3105)
install(FILES ${KX_DOC_FILES} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT kx3105)
# lintian's overrides, each with its reason: the package's alone (component deb).
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kx3105 COMPONENT deb)

install(TARGETS kx3105-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
install(FILES ${kx_pages_of_server} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT server)
install(FILES ${KX_SHELL_DIR}/kx3105-server
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT server)
# The unit names the program and its options file by their installed paths, known only when
# installing (a package is installed under /usr whatever the build's prefix): under /usr the
# options are /etc/default/kx3105-server, under another prefix PREFIX/etc/default.
install(CODE "
    set(KX_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(kx_default_dir /etc/default)
    else()
        set(kx_default_dir \"\${CMAKE_INSTALL_PREFIX}/etc/default\")
    endif()
    set(KX_DEFAULTS \"\${kx_default_dir}/kx3105-server\")
    # Made apart for each destination, so that installs (and packages) at once do not meet.
    string(MD5 kx_unit_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    set(kx_unit \"${PROJECT_BINARY_DIR}/unit/\${kx_unit_dir}/kx3105-server.service\")
    configure_file(\"${PROJECT_SOURCE_DIR}/server/share/kx3105-server.service.in\"
                   \"\${kx_unit}\" @ONLY)
    file(INSTALL \"\${kx_unit}\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
    # The admin's options are kept (a package's dpkg keeps them as a conffile).
    if(EXISTS \"\$ENV{DESTDIR}\${KX_DEFAULTS}\")
        message(STATUS \"Kept: \$ENV{DESTDIR}\${KX_DEFAULTS}\")
    else()
        file(INSTALL \"${PROJECT_SOURCE_DIR}/server/share/kx3105-server.default\"
             DESTINATION \"\${kx_default_dir}\" RENAME kx3105-server)
    endif()"
        COMPONENT server)

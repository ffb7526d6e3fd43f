# The Debian package of a lab PC (scripts/package runs `cpack -G DEB`): every install component
# in one package under /usr: the program with its desktop entry, kx3105-cli, kx3105-server with
# its systemd unit (installed, not enabled), and the Python module when it is built. The
# libraries it links are found by dpkg-shlibdeps; what it loads at run time is named here.
get_cmake_property(kx_components COMPONENTS)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kx3105)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KX3105 Evaluation Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "KX3105 evaluation software: the program, kx3105-cli and the instrument server")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Programs, reads and analyses the KX3105 24-bit converter on its evaluation board on a PC "
    "printer port, or a simulated board: the desktop program, the command-line tool "
    "kx3105-cli, and kx3105-server, which serves the board as an SCPI instrument on TCP.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KX3105 evaluation software <kx3105@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's platform plugins (the program's window, the charts' offscreen drawing) and a font.
set(kx_depends "qt6-qpa-plugins, fonts-dejavu-core")
if(python IN_LIST kx_components)
    string(APPEND kx_depends ", python3, python3-numpy")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${kx_depends}")
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)

# The Debian package of a lab PC (scripts/package runs `cpack -G DEB`): every install component
# in one package under /usr: the program with its desktop entry, kx3105-cli, kx3105-server with
# its systemd unit (installed, not enabled) and its options file (a configuration file), and the
# Python module when it is built; the manual pages, the bash completion, the copyright and the
# changelog. The libraries it links are found by dpkg-shlibdeps; what it loads at run time is
# named here. `lintian` takes it as it is (tests/cmake/test_package.py).
get_cmake_property(kx_components COMPONENTS)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kx3105)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KX3105 Evaluation Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "evaluation software of the KX3105 24-bit sigma-delta ADC board")
# Lines of at most 80 characters, as Debian shows them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Programs, reads and analyses the KX3105 24-bit converter on its evaluation\n"
    "board on a PC printer port, or on a simulated board: the desktop program\n"
    "kx3105, the command-line tool kx3105-cli, kx3105-server, which serves the\n"
    "board as an SCPI instrument on TCP (a systemd service, not enabled), and the\n"
    "Python module kx3105.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KX3105 evaluation software <kx3105@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's platform plugins (the program's window, the charts' offscreen drawing) and a font.
set(kx_depends "qt6-qpa-plugins, fonts-dejavu-core")
# The module is built for one CPython (its ABI tag in the file name): that one and no other.
if(python IN_LIST kx_components)
    string(REGEX MATCH "^([0-9]+)\\.([0-9]+)" kx_python "${KX_PYTHON_VERSION}")
    math(EXPR kx_python_next "${CMAKE_MATCH_2} + 1")
    string(APPEND kx_depends ", python3 (>= ${kx_python}~), python3 (<< ${CMAKE_MATCH_1}."
                             "${kx_python_next}), python3-numpy")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${kx_depends}")
set(CPACK_DEB_COMPONENT_INSTALL OFF)
# The options file kept across upgrades; the scripts tell systemd of the unit and stop or restart
# a running server, never enabling it.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/cmake/debian/conffiles ${PROJECT_SOURCE_DIR}/cmake/debian/postinst
    ${PROJECT_SOURCE_DIR}/cmake/debian/prerm ${PROJECT_SOURCE_DIR}/cmake/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

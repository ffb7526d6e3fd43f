# Before any folder's install rules (CMP0082 keeps install() and add_subdirectory() in order): a
# component whose programs are not built yet says which targets to build (scripts/run builds only
# the program and the tool), rather than failing on the first missing file. Installing
# everything checks every component at once.
set(KX_SHELL_DIR ${PROJECT_BINARY_DIR}/shell)
set(KX_MAN_DIR ${PROJECT_BINARY_DIR}/man)
find_program(KX_HELP2MAN help2man)
find_program(KX_GZIP gzip)

set(kx_pages_of_kx3105)
set(kx_pages_of_server)
if(KX_HELP2MAN AND KX_GZIP)
    set(kx_pages_of_kx3105 ${KX_MAN_DIR}/kx3105.1.gz ${KX_MAN_DIR}/kx3105-cli.1.gz)
    set(kx_pages_of_server ${KX_MAN_DIR}/kx3105-server.1.gz)
endif()

# The check of one component's files: kx_missing gets the targets that make those not there.
function(kx_install_check out)
    cmake_parse_arguments(N "" "" "TARGETS;FILES;FROM" ${ARGN})
    set(code)
    foreach(target IN LISTS N_TARGETS)
        string(APPEND code "if(NOT EXISTS \"$<TARGET_FILE:${target}>\")\n"
                           "    list(APPEND kx_missing ${target})\n"
                           "endif()\n")
    endforeach()
    foreach(file IN LISTS N_FILES)
        string(APPEND code "if(NOT EXISTS \"${file}\")\n"
                           "    list(APPEND kx_missing ${N_FROM})\n"
                           "endif()\n")
    endforeach()
    set(${out} "${code}" PARENT_SCOPE)
endfunction()

kx_install_check(kx_check_kx3105 TARGETS kx3105 kx3105-cli kx3105-cli-charts FROM kx3105_manuals
                 FILES ${kx_pages_of_kx3105} ${KX_SHELL_DIR}/kx3105-cli
                       ${PROJECT_BINARY_DIR}/doc/changelog.gz)
kx_install_check(kx_check_server TARGETS kx3105-server FROM kx3105_manuals
                 FILES ${kx_pages_of_server} ${KX_SHELL_DIR}/kx3105-server)
set(kx_check_python)
set(kx_components kx3105 server)
if(KX_PYTHON)
    kx_install_check(kx_check_python TARGETS kx3105_python)
    list(APPEND kx_components python)
endif()
string(CONCAT kx_stop
    "if(kx_missing)\n"
    "    list(REMOVE_DUPLICATES kx_missing)\n"
    "    list(JOIN kx_missing \" \" kx_missing)\n"
    "    message(FATAL_ERROR \"Not built yet: first run\\n\"\n"
    "        \"  cmake --build ${PROJECT_BINARY_DIR} --target \${kx_missing}\")\n"
    "endif()\n")
foreach(component IN LISTS kx_components)
    if(component STREQUAL kx3105)
        # The first rule of all when no component is named.
        string(CONCAT code "set(kx_missing)\n"
                           "if(CMAKE_INSTALL_COMPONENT)\n${kx_check_kx3105}"
                           "else()\n${kx_check_kx3105}${kx_check_server}${kx_check_python}endif()\n"
                           "${kx_stop}")
    else()
        string(CONCAT code "set(kx_missing)\n"
                           "if(CMAKE_INSTALL_COMPONENT)\n${kx_check_${component}}endif()\n"
                           "${kx_stop}")
    endif()
    install(CODE "${code}" COMPONENT ${component})
endforeach()

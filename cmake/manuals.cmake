# The manual pages and the bash completion, made when building from the programs' own help and
# command lines, so that they say what `--help` says: help2man (Debian help2man) runs each
# program's --help and --version; the completion and the tool's COMMANDS section come from the
# programs' CLI11 command lines (kx3105-cli-shell-files, kx3105-server-shell-files). Installed by
# cmake/install.cmake. Without help2man there are no manual pages, and the package says so to
# lintian. KX_SHELL_DIR, KX_MAN_DIR and the tools are cmake/install_check.cmake's.

# The date of the changelog's last entry, which dates the pages.
set(kx_changelog ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${kx_changelog})
file(STRINGS ${kx_changelog} kx_trailer REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^.*>  " "" kx_release_date "${kx_trailer}")
execute_process(COMMAND date -d "${kx_release_date}" +%s OUTPUT_VARIABLE KX_RELEASE_EPOCH
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

add_custom_command(OUTPUT ${KX_SHELL_DIR}/kx3105-cli ${KX_SHELL_DIR}/kx3105-cli.h2m
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${KX_SHELL_DIR}
                   COMMAND kx3105-cli-shell-files ${KX_SHELL_DIR}
                   DEPENDS kx3105-cli-shell-files
                   COMMENT "kx3105-cli: bash completion and its commands for the manual page")
add_custom_command(OUTPUT ${KX_SHELL_DIR}/kx3105-server
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${KX_SHELL_DIR}
                   COMMAND kx3105-server-shell-files ${KX_SHELL_DIR}
                   DEPENDS kx3105-server-shell-files
                   COMMENT "kx3105-server: bash completion")
set(KX_SHELL_FILES ${KX_SHELL_DIR}/kx3105-cli ${KX_SHELL_DIR}/kx3105-server)

set(KX_MANUALS)
if(KX_HELP2MAN AND KX_GZIP)
    # kx_manual(PROGRAM TARGET NAME_LINE [INCLUDE file...])
    function(kx_manual program target name)
        cmake_parse_arguments(M "" "" "INCLUDE" ${ARGN})
        set(includes)
        foreach(file IN LISTS M_INCLUDE)
            list(APPEND includes --include=${file})
        endforeach()
        set(page ${KX_MAN_DIR}/${program}.1)
        # Dated by the changelog's last entry, so that a build of the same sources gives the
        # same page.
        add_custom_command(OUTPUT ${page}.gz
                           COMMAND ${CMAKE_COMMAND} -E make_directory ${KX_MAN_DIR}
                           COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KX_RELEASE_EPOCH}
                                   ${KX_HELP2MAN} --no-info --no-discard-stderr --section=1
                                   "--name=${name}" ${includes} --output=${page}
                                   $<TARGET_FILE:${target}>
                           COMMAND ${KX_GZIP} -9nf ${page}
                           DEPENDS ${target} ${M_INCLUDE}
                           COMMENT "Manual page of ${program}")
        set(KX_MANUALS ${KX_MANUALS} ${page}.gz PARENT_SCOPE)
    endfunction()
    kx_manual(kx3105 kx3105 "evaluation software for the KX3105 24-bit sigma-delta ADC board"
              INCLUDE ${PROJECT_SOURCE_DIR}/app/share/kx3105.h2m)
    kx_manual(kx3105-cli kx3105-cli "drive a KX3105 evaluation board from a shell or a script"
              INCLUDE ${KX_SHELL_DIR}/kx3105-cli.h2m ${PROJECT_SOURCE_DIR}/cli/share/kx3105-cli.h2m)
    kx_manual(kx3105-server kx3105-server
              "serve a KX3105 evaluation board as an SCPI instrument on TCP"
              INCLUDE ${PROJECT_SOURCE_DIR}/server/share/kx3105-server.h2m)
else()
    message(WARNING "help2man or gzip not found (Debian help2man): no manual pages")
endif()

add_custom_target(kx3105_manuals ALL DEPENDS ${KX_SHELL_FILES} ${KX_MANUALS})

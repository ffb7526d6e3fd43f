# Folders form layers: a target may link targets of its own folder or of a lower one, and a file
# include headers of its own folder or a lower one, never of a higher one. Checked at configure
# time, so an upward link or include fails the build at once.
set(KX_LAYERS core maths board "converter sim" acquisition ui "registers files" analysis charts multichannel
              "regmap live" app "cli python server" "tests bench fuzz")

function(kx_layer_of dir out)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
    string(REGEX REPLACE "/.*" "" top "${rel}")
    set(rank 0)
    foreach(layer IN LISTS KX_LAYERS)
        string(REPLACE " " ";" members "${layer}")
        if(top IN_LIST members)
            set(${out} ${rank} PARENT_SCOPE)
            set(${out}_FOLDER ${top} PARENT_SCOPE)
            return()
        endif()
        math(EXPR rank "${rank} + 1")
    endforeach()
    message(FATAL_ERROR "${rel}: folder '${top}' has no layer; add it to KX_LAYERS")
endfunction()

function(kx_targets_below dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        kx_targets_below(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(kx_check_layers)
    kx_targets_below(${PROJECT_SOURCE_DIR} targets)
    foreach(target IN LISTS targets)
        get_target_property(dir ${target} SOURCE_DIR)
        kx_layer_of(${dir} rank)
        get_target_property(links ${target} LINK_LIBRARIES)
        foreach(link IN LISTS links)
            if(NOT TARGET ${link} OR NOT link MATCHES "^kx")
                continue()
            endif()
            get_target_property(imported ${link} IMPORTED)
            if(imported)
                continue()
            endif()
            get_target_property(ldir ${link} SOURCE_DIR)
            kx_layer_of(${ldir} lrank)
            if(lrank GREATER rank)
                message(FATAL_ERROR "${target} (${rank_FOLDER}/) links ${link} of a higher folder "
                                    "(${lrank_FOLDER}/)")
            endif()
        endforeach()
    endforeach()
endfunction()

kx_check_layers()

# Every quoted include names its folder from the repository root, so a reader knows where a
# header lives without searching ("converter/control_logic.h", not "control_logic.h"); and the
# folder it names is the includer's own layer or a lower one. An upward include fails here even
# where no link says so.
# Where core/globals.h and board/program_port.h may be included: the desktop program's screens,
# their adapter (ui/, the program's port and start-up in board/), and what tests and benchmarks
# drive them through.
function(kx_may_see_globals source out)
    set(${out} FALSE PARENT_SCOPE)
    if(source MATCHES "^(registers|charts|files|multichannel|regmap|live|app|ui|tests|bench)/"
       OR source MATCHES "^analysis/[a-z]+form\\.(cpp|h)$"
       OR source MATCHES "^board/(program_port\\.h|program_port\\.cpp|windows_version\\.cpp)$"
       OR source STREQUAL "core/globals.cpp")
        set(${out} TRUE PARENT_SCOPE)
    endif()
endfunction()

function(kx_check_includes)
    # The source folders, not the build trees: a glob that reached into a build tree would find
    # other generated files at each build and configure again every time.
    file(GLOB folders LIST_DIRECTORIES true RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/*)
    set(patterns)
    foreach(folder IN LISTS folders)
        set(dir ${PROJECT_SOURCE_DIR}/${folder})
        if(NOT IS_DIRECTORY ${dir} OR folder MATCHES "^\\." OR EXISTS ${dir}/CMakeCache.txt
           OR dir STREQUAL PROJECT_BINARY_DIR)
            continue()
        endif()
        list(APPEND patterns ${dir}/*.h ${dir}/*.cpp)
    endforeach()
    file(GLOB_RECURSE sources RELATIVE ${PROJECT_SOURCE_DIR} CONFIGURE_DEPENDS ${patterns})
    foreach(source IN LISTS sources)
        file(STRINGS ${PROJECT_SOURCE_DIR}/${source} includes REGEX "^#include \"[^\"]+\"")
        list(FILTER includes EXCLUDE REGEX "\\.moc\"$")
        set(bare ${includes})
        list(FILTER bare INCLUDE REGEX "^#include \"[^/\"]+\"")
        if(bare)
            message(FATAL_ERROR "${source}: include without its folder: ${bare}")
        endif()
        kx_layer_of(${PROJECT_SOURCE_DIR}/${source} rank)
        # The old program's shared globals are its screens' and their adapter's alone: the
        # faces below and beside the screens take a board and a run as values.
        if("#include \"core/globals.h\"" IN_LIST includes OR
           "#include \"board/program_port.h\"" IN_LIST includes)
            kx_may_see_globals(${source} allowed)
            if(NOT allowed)
                message(FATAL_ERROR "${source} includes the program's shared globals "
                                    "or its port (core/globals.h, board/program_port.h): only "
                                    "the desktop program's screens and their adapter may")
            endif()
        endif()
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"([^/\"]+)/.*" "\\1" folder "${line}")
            kx_layer_of(${PROJECT_SOURCE_DIR}/${folder} included)
            if(included GREATER rank)
                message(FATAL_ERROR "${source} (${rank_FOLDER}/) includes a header of a higher "
                                    "folder (${included_FOLDER}/): ${line}")
            endif()
        endforeach()
    endforeach()
endfunction()

kx_check_includes()

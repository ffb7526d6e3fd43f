# Run by CTest (tst_layers) as a script: copies the source tree to SCRATCH_DIR, configures it,
# then adds one upward dependency at a time and expects the configure to fail, naming it.

file(REMOVE_RECURSE ${SCRATCH_DIR})
file(GLOB entries RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
foreach(entry IN LISTS entries)
    # The tree's own sources only: no build directories, no version control.
    if(entry MATCHES "^(build|\\.)")
        continue()
    endif()
    file(COPY ${SOURCE_DIR}/${entry} DESTINATION ${SCRATCH_DIR}/src)
endforeach()

function(configure expect_failure says)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -S ${SCRATCH_DIR}/src -B ${SCRATCH_DIR}/build -G ${GENERATOR}
                -DBUILD_TESTING=OFF -DKX_BENCHMARKS=OFF
        RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(REPLACE "\n" " " said "${out}${err}")
    string(REGEX REPLACE " +" " " said "${said}")
    if(expect_failure AND result EQUAL 0)
        message(FATAL_ERROR "configure passed; it should have refused: ${says}")
    endif()
    if(NOT expect_failure AND NOT result EQUAL 0)
        message(FATAL_ERROR "configure of the untouched copy failed:\n${out}${err}")
    endif()
    if(expect_failure AND NOT said MATCHES "${says}")
        message(FATAL_ERROR "configure failed without saying '${says}':\n${out}${err}")
    endif()
endfunction()

# Appends `text` to a file of the copy for one configure, then puts the file back.
function(expect_refusal file text says)
    file(READ ${SCRATCH_DIR}/src/${file} before)
    file(APPEND ${SCRATCH_DIR}/src/${file} "${text}\n")
    configure(TRUE "${says}")
    file(WRITE ${SCRATCH_DIR}/src/${file} "${before}")
endfunction()

configure(FALSE "")
# The converter's logic reaching up into the analysis.
expect_refusal(converter/control_logic.cpp "#include \"analysis/noise_stats.h\""
               "converter/control_logic.cpp \\(converter/\\) includes a header of a higher folder \\(analysis/\\)")
# The maths reaching up to the board or the acquisition layer.
expect_refusal(maths/spectrum.cpp "#include \"acquisition/run.h\""
               "maths/spectrum.cpp \\(maths/\\) includes a header of a higher folder \\(acquisition/\\)")
expect_refusal(maths/statistics.cpp "#include \"board/registers.h\""
               "maths/statistics.cpp \\(maths/\\) includes a header of a higher folder \\(board/\\)")
# The program's shared globals anywhere but its screens and their adapter.
foreach(face acquisition/capture.cpp maths/statistics.cpp cli/main.cpp server/main.cpp
             python/board.cpp analysis/noise_stats.cpp)
    expect_refusal(${face} "#include \"core/globals.h\""
                   "${face} includes the program's shared globals")
endforeach()
# The acquisition layer reaching up into a screen folder.
expect_refusal(acquisition/run.h "#include \"charts/graphform.h\""
               "acquisition/run.h \\(acquisition/\\) includes a header of a higher folder \\(charts/\\)")
# A link the other way round.
expect_refusal(converter/CMakeLists.txt "target_link_libraries(kx3105_converter PUBLIC kx3105_analysis)"
               "kx3105_converter \\(converter/\\) links kx3105_analysis of a higher folder \\(analysis/\\)")
# Put right again, the copy configures.
configure(FALSE "")
file(REMOVE_RECURSE ${SCRATCH_DIR})

# Run by CTest (tst_written_once) as a script: the ranges' volts and the capture limit are written
# in one place each, and every face (the screens, the tool, the Python module, the server) takes
# them from there. A line of code (not a comment) of a face that spells 2.56 or 10000000 fails.

set(faces analysis app charts cli files live multichannel python regmap registers server ui)
set(found "")
foreach(face IN LISTS faces)
    file(GLOB_RECURSE sources ${SOURCE_DIR}/${face}/*.cpp ${SOURCE_DIR}/${face}/*.h
                              ${SOURCE_DIR}/${face}/*.pyi)
    foreach(source IN LISTS sources)
        # One list item a line: semicolons, CMake's list separator, put aside first.
        file(READ ${source} content)
        string(REPLACE ";" "\\;" content "${content}")
        string(REPLACE "\n" ";" lines "${content}")
        set(number 0)
        foreach(line IN LISTS lines)
            math(EXPR number "${number} + 1")
            # Comments say what a value is; only code can carry a second copy of it.
            string(REGEX REPLACE "^[ \t]*(//|#).*" "" code "${line}")
            string(REGEX REPLACE "[ \t]//.*" "" code "${code}")
            if(code MATCHES "2\\.56|10'?000'?000([^0-9]|$)")
                file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
                string(APPEND found "\n  ${name}:${number}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()
if(found)
    message(FATAL_ERROR "a face spells a range's volts or the capture limit itself:${found}")
endif()

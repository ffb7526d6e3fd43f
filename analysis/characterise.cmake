# Characterisation: the noise spectrum (FFTW3), the Allan deviation of a drift log, and the steps
# of a sweep and of a drift log on the board. Plain C++, no Qt.
#   kx3105_spectrum      Welch density, white level, spurs, tone figures
#   kx3105_characterise  Allan deviation, drift-log parsing, sweep point and log line
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFTW3 REQUIRED IMPORTED_TARGET fftw3)

add_library(kx3105_spectrum STATIC ${CMAKE_CURRENT_SOURCE_DIR}/spectrum.cpp
                                   ${CMAKE_CURRENT_SOURCE_DIR}/spectrum_common.cpp
                                   ${CMAKE_CURRENT_SOURCE_DIR}/spectrum_tone.cpp)
target_link_libraries(kx3105_spectrum PUBLIC kx3105_core PRIVATE PkgConfig::FFTW3)
kx_target_defaults(kx3105_spectrum)

add_library(kx3105_characterise STATIC ${CMAKE_CURRENT_SOURCE_DIR}/allan.cpp
                                       ${CMAKE_CURRENT_SOURCE_DIR}/characterise.cpp)
target_link_libraries(kx3105_characterise PUBLIC kx3105_analysis kx3105_register_logic)
kx_target_defaults(kx3105_characterise)

# The noise spectrum of a 1,000,000-code run (bench/welch_scipy.py times scipy on the same size).
add_executable(kx3105_spectrum_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench_spectrum.cpp)
target_link_libraries(kx3105_spectrum_bench PRIVATE kx3105_spectrum benchmark::benchmark)
kx_target_defaults(kx3105_spectrum_bench)

# The read for analysis on the simulated board in real time (needs a Qt platform: offscreen).
add_executable(kx3105_reading_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench_reading.cpp)
target_link_libraries(kx3105_reading_bench PRIVATE kx3105_analysis_screens kx3105_sim
                                                   benchmark::benchmark)
kx_target_defaults(kx3105_reading_bench)

# Board work off the window's thread: timer delay during a real-time read and stop latency at
# 5.35 Hz (a plain program; needs a Qt platform: offscreen).
add_executable(kx3105_board_work_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench_board_work.cpp)
target_link_libraries(kx3105_board_work_bench PRIVATE kx3105_analysis_screens kx3105_sim)
kx_target_defaults(kx3105_board_work_bench)

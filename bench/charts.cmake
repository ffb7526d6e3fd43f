# Building and first painting of the noise plot and histogram screens, offscreen.
add_executable(kx3105_charts_bench bench_charts.cpp)
target_link_libraries(kx3105_charts_bench PRIVATE kx3105_chart_screens benchmark::benchmark)
kx_target_defaults(kx3105_charts_bench)

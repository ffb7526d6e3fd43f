# The command-line tool as a whole process against a numpy script, and its real-time capture.
add_executable(kx3105_cli_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench_cli.cpp)
target_link_libraries(kx3105_cli_bench PRIVATE kx3105_cli benchmark::benchmark)
target_compile_definitions(kx3105_cli_bench PRIVATE KX3105_CLI="$<TARGET_FILE:kx3105-cli>")
add_dependencies(kx3105_cli_bench kx3105-cli)
kx_target_defaults(kx3105_cli_bench)

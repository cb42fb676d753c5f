add_executable(backup_bench backup_bench.cc)
target_link_libraries(backup_bench PRIVATE boxlink_core benchmark::benchmark)
add_dependencies(backup_bench devsim)
target_compile_definitions(backup_bench PRIVATE DEVSIM_BIN="$<TARGET_FILE:devsim>")

# The backup and restore jobs against a simulated device, side by side with
# the tools an administrator would script instead.
add_library(bench_sim_device STATIC sim_device.cc)
target_include_directories(bench_sim_device PUBLIC ${CMAKE_SOURCE_DIR})
add_dependencies(bench_sim_device devsim)
target_compile_definitions(bench_sim_device PRIVATE DEVSIM_BIN="$<TARGET_FILE:devsim>")

add_executable(backup_bench backup_bench.cc)
target_link_libraries(backup_bench PRIVATE boxlink_engine bench_sim_device benchmark::benchmark)

add_executable(restore_bench restore_bench.cc)
target_link_libraries(restore_bench PRIVATE boxlink_engine bench_sim_device benchmark::benchmark)

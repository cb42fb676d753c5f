add_executable(zip_bench zip_bench.cc)
target_link_libraries(zip_bench PRIVATE boxlink_engine benchmark::benchmark)
add_dependencies(zip_bench cipherlib digestlib)
target_compile_definitions(zip_bench PRIVATE
  CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
  DIGESTLIB_SO="$<TARGET_FILE:digestlib>")

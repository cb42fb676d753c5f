# Box tree download from the simulated device: ours against curl.
if(TARGET devsim_ftp_testing)
  add_executable(ftp_bench ftp_bench.cc)
  target_link_libraries(ftp_bench PRIVATE boxlink_transfer devsim_core
                        devsim_ftp_testing platform_testing benchmark::benchmark)
  add_dependencies(ftp_bench ftpshim)
  target_compile_definitions(ftp_bench PRIVATE
    FTPSHIM_DIR="$<TARGET_FILE_DIR:ftpshim>")
endif()

target_sources(boxlink_core PRIVATE
  transfer/base_ftp.cc
  transfer/folder_ops.cc
  transfer/list_parse.cc
  transfer/plain_ftp.cc
  transfer/ssl_ftp.cc
  transfer/transfer_library.cc)
# The plain classes stand on the internet layer's FTP half; the secure ones
# only need ftpshim's header (the library itself is loaded by name).
target_link_libraries(boxlink_core PUBLIC inet)

zelt_test(boxlink_transfer_test
  SOURCES transfer/list_parse_test.cc transfer/base_ftp_test.cc
  LIBS boxlink_core platform_testing)

zelt_test(boxlink_transfer_device_test
  SOURCES transfer/transfer_device_test.cc transfer/transfer_edge_test.cc
  LIBS boxlink_core devsim_core devsim_ftp_testing platform_testing
  LABELS integration)
if(TARGET boxlink_transfer_device_test)
  add_dependencies(boxlink_transfer_device_test ftpshim)
  target_compile_definitions(boxlink_transfer_device_test PRIVATE
    FTPSHIM_DIR="$<TARGET_FILE_DIR:ftpshim>")
endif()

zelt_fuzz(list_parse_fuzz
  SOURCES transfer/list_parse_fuzz.cc
  LIBS boxlink_core
  CORPUS transfer/fuzz_corpus/list_parse_fuzz)

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

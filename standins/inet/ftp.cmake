# The FTP half of the layer stands on our FTP client.
target_link_libraries(inet PUBLIC ftplibpp)

zelt_test(inet_ftp_test
  SOURCES ftp_test.cc
  LIBS inet devsim_ftp_testing platform_testing
  LABELS integration)

target_sources(boxlink_core PRIVATE client/notice.cc)

zelt_test(boxlink_notice_test
  SOURCES client/notice_test.cc
  LIBS boxlink_core platform_testing)

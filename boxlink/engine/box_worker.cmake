target_sources(boxlink_core PRIVATE engine/box_worker.cc)

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_box_worker_test
  SOURCES engine/box_worker_test.cc
  LIBS boxlink_core platform_testing)
endif()

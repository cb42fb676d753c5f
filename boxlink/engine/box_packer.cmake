target_sources(boxlink_core PRIVATE engine/box_packer.cc)

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_box_packer_test
  SOURCES engine/box_packer_test.cc
  LIBS boxlink_core platform_testing)
endif()

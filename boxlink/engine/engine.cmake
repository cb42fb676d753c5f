target_sources(boxlink_core PRIVATE
  engine/index_reader.cc
  engine/layout.cc
  engine/xml_info.cc)

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_archive_index_test
  SOURCES engine/index_reader_test.cc engine/xml_info_test.cc
  LIBS boxlink_core platform_testing)
add_dependencies(boxlink_archive_index_test cipherlib digestlib)
target_compile_definitions(boxlink_archive_index_test PRIVATE
  CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
  DIGESTLIB_SO="$<TARGET_FILE:digestlib>")
endif()

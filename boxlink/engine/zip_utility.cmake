target_sources(boxlink_core PRIVATE engine/backup_xml.cc engine/zip_utility.cc)

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_zip_utility_test
  SOURCES engine/backup_xml_test.cc engine/zip_utility_test.cc
  LIBS boxlink_core platform_testing)
add_dependencies(boxlink_zip_utility_test cipherlib digestlib)
target_compile_definitions(boxlink_zip_utility_test PRIVATE
  CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
  DIGESTLIB_SO="$<TARGET_FILE:digestlib>")
endif()

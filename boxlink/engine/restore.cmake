target_sources(boxlink_core PRIVATE
  engine/item_names.cc
  engine/restore.cc
  engine/restore_rules.cc)

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_restore_rules_test
  SOURCES engine/item_names_test.cc engine/restore_rules_test.cc
  LIBS boxlink_core platform_testing)
endif()

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_restore_device_test
  SOURCES engine/restore_device_test.cc engine/restore_safety_device_test.cc
  LIBS boxlink_core devsim_testing platform_testing
  LABELS integration)
add_dependencies(boxlink_restore_device_test cipherlib digestlib ftpshim)
target_compile_definitions(boxlink_restore_device_test PRIVATE
  CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
  DIGESTLIB_SO="$<TARGET_FILE:digestlib>"
  FTPSHIM_DIR="$<TARGET_FILE_DIR:ftpshim>")
endif()

target_sources(boxlink_core PRIVATE
  engine/index_reader.cc
  engine/layout.cc
  engine/xml_info.cc)

zelt_fuzz(index_reader_fuzz
  SOURCES engine/index_reader_fuzz.cc
  LIBS boxlink_core
  CORPUS engine/fuzz_corpus/index_reader_fuzz)

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_archive_index_test
  SOURCES engine/index_reader_test.cc engine/xml_info_test.cc
  LIBS boxlink_core platform_testing)
add_dependencies(boxlink_archive_index_test cipherlib digestlib)
target_compile_definitions(boxlink_archive_index_test PRIVATE
  CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
  DIGESTLIB_SO="$<TARGET_FILE:digestlib>")
endif()

target_sources(boxlink_core PRIVATE
  engine/backup.cc
  engine/keep_alive.cc
  engine/zelt.cc)

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_job_frame_test
  SOURCES engine/zelt_test.cc
  LIBS boxlink_core platform_testing)
endif()

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_backup_device_test
  SOURCES engine/backup_device_test.cc engine/backup_faults_device_test.cc
          engine/backup_progress_device_test.cc
  LIBS boxlink_core devsim_testing platform_testing
  LABELS integration)
add_dependencies(boxlink_backup_device_test cipherlib digestlib ftpshim)
target_compile_definitions(boxlink_backup_device_test PRIVATE
  CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
  DIGESTLIB_SO="$<TARGET_FILE:digestlib>"
  FTPSHIM_DIR="$<TARGET_FILE_DIR:ftpshim>")
endif()

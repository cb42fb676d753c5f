target_sources(boxlink_core PRIVATE
  zip/zip_class.cc
  zip/zip_file.cc
  zip/zip_header.cc
  zip/zip_main_dir.cc
  zip/zip_safe_path.cc
  zip/zip_utls.cc)
find_package(ZLIB REQUIRED)
target_link_libraries(boxlink_core PUBLIC ZLIB::ZLIB)

zelt_test(boxlink_zip_test
  SOURCES zip/zip_class_test.cc zip/zip_utls_test.cc zip/zip_safe_path_test.cc
  LIBS boxlink_core platform_testing)

zelt_fuzz(zip_reader_fuzz
  SOURCES zip/zip_reader_fuzz.cc
  LIBS boxlink_core
  CORPUS zip/fuzz_corpus/zip_reader_fuzz)

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

# The reader's fuzz target: clang only, off by default.
#   cmake -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
#         -DZELT_BUILD_ZIP_FUZZ=ON -DZELT_BUILD_BENCH=OFF
#   cmake --build build/fuzz --target zip_reader_fuzz
option(ZELT_BUILD_ZIP_FUZZ "Build the libFuzzer target of the zip reader" OFF)
if(ZELT_BUILD_ZIP_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZELT_BUILD_ZIP_FUZZ needs clang")
  endif()
  target_compile_options(boxlink_core PRIVATE
    -fsanitize=fuzzer-no-link,address,undefined)
  add_executable(zip_reader_fuzz zip/zip_reader_fuzz.cc)
  target_compile_options(zip_reader_fuzz PRIVATE
    -fsanitize=fuzzer,address,undefined)
  target_link_options(zip_reader_fuzz PRIVATE
    -fsanitize=fuzzer,address,undefined)
  target_link_libraries(zip_reader_fuzz PRIVATE boxlink_core)
endif()

# Legacy data conversion: the filtering conversions of older archives and
# the format conversion into the storage layout. Uses the zip, client and
# engine areas below it; nothing below includes it.
target_sources(boxlink_core PRIVATE
  convert/convert_job.cc
  convert/convert_rules.cc
  convert/document_convert.cc
  convert/filter_convert.cc
  convert/format_convert.cc
  convert/ini_file.cc
  convert/legacy_archive.cc
  convert/legacy_index.cc
  convert/legacy_layout.cc
  convert/model_tables.cc
  convert/property_files.cc
  convert/value_maps.cc)
target_link_libraries(boxlink_core PUBLIC zelt_image_index ${CMAKE_DL_LIBS})

# The model tables and the conversion rules ship beside the library.
set(ZELT_CONVERT_CONFIG
  ZELT_ConvertModels.ini
  Varda620_660.ini
  Varda720_740.ini
  Varda7120_7140.ini)
foreach(file IN LISTS ZELT_CONVERT_CONFIG)
  configure_file(convert/config/${file} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${file} COPYONLY)
  zelt_install_data(${CMAKE_CURRENT_SOURCE_DIR}/convert/config/${file})
endforeach()

if(ZELT_BUILD_TESTS)
  zelt_test(boxlink_convert_test
    SOURCES convert/convert_rules_test.cc convert/ini_file_test.cc
            convert/legacy_layout_test.cc convert/model_tables_test.cc
            convert/filter_convert_test.cc convert/format_convert_test.cc
    LIBS boxlink_core devsim_legacy platform_testing)
  add_dependencies(boxlink_convert_test cipherlib digestlib boxendian)
  target_compile_definitions(boxlink_convert_test PRIVATE
    CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
    DIGESTLIB_SO="$<TARGET_FILE:digestlib>"
    BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
    CONFIG_DIR="${CMAKE_CURRENT_SOURCE_DIR}/convert/config")

  zelt_test(boxlink_convert_device_test
    SOURCES convert/convert_device_test.cc
    LIBS boxlink_core devsim_legacy devsim_testing platform_testing
    LABELS integration)
  add_dependencies(boxlink_convert_device_test cipherlib digestlib boxendian ftpshim)
  target_compile_definitions(boxlink_convert_device_test PRIVATE
    CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
    DIGESTLIB_SO="$<TARGET_FILE:digestlib>"
    BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
endif()

# The fuzz targets of the legacy descriptor readers and the rule-file
# reader run briefly in every build (a fixed set of seeds and mutations);
# a fuzz build (ZELT_BUILD_FUZZ, scripts/fuzz) runs them under libFuzzer.
if(ZELT_BUILD_TESTS)
  zelt_test(boxlink_convert_fuzz_replay_test
    SOURCES convert/fuzz_replay_test.cc convert/legacy_descriptor_fuzz.cc
            convert/rule_file_fuzz.cc
    LIBS boxlink_core platform_testing)
  target_compile_definitions(boxlink_convert_fuzz_replay_test PRIVATE
    ZELT_FUZZ_REPLAY CONFIG_DIR="${CMAKE_CURRENT_SOURCE_DIR}/convert/config")
endif()
zelt_fuzz(legacy_descriptor_fuzz
  SOURCES convert/legacy_descriptor_fuzz.cc
  LIBS boxlink_core
  CORPUS convert/fuzz_corpus/legacy_descriptor_fuzz)
zelt_fuzz(rule_file_fuzz
  SOURCES convert/rule_file_fuzz.cc
  LIBS boxlink_core
  CORPUS convert/fuzz_corpus/rule_file_fuzz)

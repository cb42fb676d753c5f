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
endforeach()

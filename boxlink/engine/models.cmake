target_sources(boxlink_core PRIVATE
  engine/model_addition_check.cc
  engine/model_file.cc)

zelt_test(boxlink_models_test
  SOURCES engine/model_addition_check_test.cc engine/model_file_test.cc
  LIBS boxlink_core platform_testing)

zelt_fuzz(model_file_fuzz
  SOURCES engine/model_file_fuzz.cc
  LIBS boxlink_core
  CORPUS engine/fuzz_corpus/model_file_fuzz)

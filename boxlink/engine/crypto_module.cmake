target_sources(boxlink_core PRIVATE engine/crypto_module.cc)

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_crypto_module_test
  SOURCES engine/crypto_module_test.cc
  LIBS boxlink_core platform_testing)
add_dependencies(boxlink_crypto_module_test cipherlib digestlib idfile)
target_compile_definitions(boxlink_crypto_module_test PRIVATE
  CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
  DIGESTLIB_SO="$<TARGET_FILE:digestlib>"
  IDFILE_SO="$<TARGET_FILE:idfile>")
endif()

target_sources(boxlink_core PRIVATE engine/encrypt.cc)

if(ZELT_BUILD_TESTS)
zelt_test(boxlink_encrypt_test
  SOURCES engine/encrypt_test.cc
  LIBS boxlink_core platform_testing zelt_cryptocore)
add_dependencies(boxlink_encrypt_test cipherlib digestlib)
target_compile_definitions(boxlink_encrypt_test PRIVATE
  CIPHERLIB_SO="$<TARGET_FILE:cipherlib>"
  DIGESTLIB_SO="$<TARGET_FILE:digestlib>")
endif()

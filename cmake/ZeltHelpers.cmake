# zelt_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
#
# One GoogleTest executable, registered with CTest test by test. Tests are
# labelled "unit" unless LABELS says otherwise; "integration" marks tests
# that start servers (the simulated device, snmpd, vsftpd) on loopback.
function(zelt_test name)
  if(NOT ZELT_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock
                        zelt_test_main)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300)
endfunction()

target_sources(boxlink_core PRIVATE
  client/snmp_exports.cc
  client/snmp_probes.cc
  client/snmp_query.cc)
target_link_libraries(boxlink_core PUBLIC snmpcore)

zelt_test(boxlink_snmp_test
  SOURCES client/snmp_query_test.cc
  LIBS boxlink_core platform_testing snmpcore_testing
  LABELS integration)

zelt_test(boxlink_snmp_device_test
  SOURCES client/snmp_device_test.cc
  LIBS boxlink_core devsim_testing
  LABELS integration)

# The exports are visible in the shared library.
zelt_test(boxlink_snmp_abi_test
  SOURCES client/snmp_abi_test.cc
  LIBS platform_testing)
if(TARGET boxlink_snmp_abi_test)
  add_dependencies(boxlink_snmp_abi_test boxlink)
  target_compile_definitions(boxlink_snmp_abi_test PRIVATE
    BOXLINK_SO="$<TARGET_FILE:boxlink>")
  target_include_directories(boxlink_snmp_abi_test PRIVATE include)
endif()

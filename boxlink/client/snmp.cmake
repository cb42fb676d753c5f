target_sources(boxlink_core PRIVATE
  client/snmp_exports.cc
  client/snmp_probes.cc
  client/snmp_query.cc)
target_link_libraries(boxlink_core PUBLIC snmpcore)

zelt_test(boxlink_snmp_test
  SOURCES client/snmp_query_test.cc
  LIBS boxlink_core platform_testing snmpcore_testing
  LABELS integration)

# The HTTP transport, the CGI frame and the device session.
target_sources(boxlink_core PRIVATE
  client/cgi.cc
  client/connection.cc
  client/engine_cache.cc
  client/http_transport.cc
  client/session_hooks.cc)
target_link_libraries(boxlink_core PUBLIC inet)

zelt_test(boxlink_http_test
  SOURCES client/http_transport_test.cc client/cgi_test.cc
  LIBS boxlink_core platform_testing)

zelt_test(boxlink_session_device_test
  SOURCES client/session_device_test.cc
  LIBS boxlink_core platform_testing devsim_services
  LABELS integration)

# A device on a link-local IPv6 address, in a network namespace of the
# test's own (needs root; skipped otherwise).
zelt_test(boxlink_link_local_device_test
  SOURCES client/link_local_device_test.cc
  LIBS boxlink_core platform_testing devsim_services
  LABELS integration)

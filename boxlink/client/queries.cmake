# Box, folder and document queries, administrative operations,
# authentication: query texts and reply parsing.
target_sources(boxlink_core PRIVATE
  client/admin_ops.cc
  client/box_queries.cc
  client/box_replies.cc
  client/query_texts.cc
  client/security_ops.cc
  client/security_replies.cc)

zelt_test(boxlink_query_replies_test
  SOURCES client/box_replies_test.cc client/query_texts_test.cc
          client/security_replies_test.cc client/query_records_test.cc
  LIBS boxlink_core platform_testing)

zelt_test(boxlink_queries_integration_test
  SOURCES client/queries_integration_test.cc
          client/box_queries_integration_test.cc
          client/admin_ops_integration_test.cc
          client/security_ops_integration_test.cc
  LIBS boxlink_core devsim_testing zelt_cryptocore ftplibpp platform_testing
  LABELS integration)

zelt_fuzz(reply_fuzz
  SOURCES client/reply_fuzz.cc
  LIBS boxlink_core
  CORPUS client/fuzz_corpus/reply_fuzz)

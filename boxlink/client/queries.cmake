# Box, folder and document queries, administrative operations,
# authentication: query texts and reply parsing.
target_sources(boxlink_core PRIVATE
  client/box_replies.cc
  client/query_texts.cc
  client/security_replies.cc)

zelt_test(boxlink_query_replies_test
  SOURCES client/box_replies_test.cc client/query_texts_test.cc
          client/security_replies_test.cc client/query_records_test.cc
  LIBS boxlink_core platform_testing)

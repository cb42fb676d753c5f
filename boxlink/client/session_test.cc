// The session record is shared with callers by layout: its fields must stay
// where they are.
#include <gtest/gtest.h>

#include <cstddef>

#include "boxlink.h"

namespace {

TEST(SessionRecordTest, FieldsAreInTheirFixedPlaces) {
  EXPECT_EQ(offsetof(ZBSESSION, Host), 0u);
  EXPECT_EQ(offsetof(ZBSESSION, Port), 512u);
  EXPECT_EQ(offsetof(ZBSESSION, WebPort), 516u);
  EXPECT_EQ(offsetof(ZBSESSION, FtpPort), 520u);
  EXPECT_EQ(offsetof(ZBSESSION, AppText), 524u);
  EXPECT_EQ(offsetof(ZBSESSION, FtpPassword), 1036u);
  EXPECT_EQ(offsetof(ZBSESSION, AppValue), 1548u);
  // Handles are pointers, aligned as the platform aligns them.
  EXPECT_EQ(offsetof(ZBSESSION, InternetHandle), 1552u);
  EXPECT_EQ(offsetof(ZBSESSION, ConnectHandle), 1552u + sizeof(void*));
  size_t after = 1552u + 2 * sizeof(void*);
  EXPECT_EQ(offsetof(ZBSESSION, SessionId), after);
  EXPECT_EQ(offsetof(ZBSESSION, AccessMode), after + 4);
  EXPECT_EQ(offsetof(ZBSESSION, WebSecure), after + 8);
  EXPECT_EQ(offsetof(ZBSESSION, FtpSecure), after + 12);
  EXPECT_EQ(offsetof(ZBSESSION, Alive), after + 16);
  EXPECT_EQ(offsetof(ZBSESSION, ScopeId), after + 20);
  EXPECT_EQ(sizeof(ZBSYSTEMTIME), 16u);
}

TEST(SessionRecordTest, ErrorCodesKeepTheirValues) {
  const std::pair<int, int> codes[] = {
      {ZB_ERR_INVALID_FUNCTION, 1},     {ZB_ERR_BAD_FORMAT, 11},
      {ZB_ERR_INVALID_DATA, 13},        {ZB_ERR_INVALID_PARAMETER, 87},
      {ZB_ERR_CANCELLED, 995},          {ZB_ERR_ACCOUNT_RESTRICTION, 1327},
      {ZB_ERR_INTERNAL_ERROR, 1359},    {ZB_ERR_UNKNOWN_PRODUCT, 1605},
      {ZB_ERR_NO_NETWORK, 2250},        {ZB_ERR_DEVICE_NOT_AVAILABLE, 4319},
      {ZB_ERR_BOX_LIMITS, 8260},        {ZB_ERR_HTTP_TIMEOUT, 12002},
      {ZB_ERR_HTTP_INTERNAL, 12004},    {ZB_ERR_HTTP_CANNOT_CONNECT, 12029},
  };
  for (auto [constant, value] : codes) EXPECT_EQ(constant, value);
}

}  // namespace

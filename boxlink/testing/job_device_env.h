// What the job tests against the simulated device share: the administrator
// password the device's profile expects, port probes that skip SNMP (the
// tests start only the web and FTP services), and a device profile per
// layout.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "boxlink.h"
#include "boxlink/testing/device_session_fixture.h"
#include "devsim/core/device.h"
#include "devsim/core/profile.h"

namespace boxlink::enginetest {

using boxlink::testing::FixedFtpProbe;
using boxlink::testing::FixedWebProbe;
using boxlink::testing::kAdmin;

inline devsim::Profile ProfileFor(devsim::Layout layout) {
  return devsim::Profile::Defaults(layout);
}

// Opens the session and makes the job's FTP account the way the program
// does. Storage devices open the restricted session, which sends the job's
// password (the administrator's) unchanged.
inline void OpenJobSession(devsim::Device& dev, ZBSESSION* s, std::string* user) {
  std::strncpy(s->Host, dev.address().c_str(), sizeof s->Host - 1);
  s->Port = 8080;
  auto it = dev.profile().extra.find("web.connect_result");
  const bool restricted = it != dev.profile().extra.end() && it->second == "4";
  ASSERT_EQ(zbBoxOpenConnection(s, nullptr), restricted ? 1u : 0u);
  if (restricted) {
    ASSERT_EQ(s->AccessMode, 20u);
  }
  char login[256] = {};
  ASSERT_EQ(zbBoxCreateFTPAccount(s, kAdmin, login), 0u);
  *user = login;
  // The restricted session is told its FTP password with the account.
  if (restricted) {
    ASSERT_NE(s->FtpPassword[0], 0);
  }
}

}  // namespace boxlink::enginetest

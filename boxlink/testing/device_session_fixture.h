// A simulated device and an open session to it, for the integration tests
// of the CGI exports: the normal session, or the restricted one (the
// device answers the connect with Result 4).
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "boxlink.h"
#include "boxlink/client/cgi.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/session_hooks.h"
#include "boxlink/base/model_addition_check.h"
#include "devsim/testing/device_fixture.h"
#include "devsim/web/box_cgi_state.h"
#include "devsim/web/web_service.h"
#include "platform/testing/fake_env.h"

namespace boxlink::testing {

using devsim::web::RecordedRequest;
using devsim::web::WebService;

// The administrator password of the device profiles.
inline constexpr char kAdmin[] = "admin00";

inline void FixedWebProbe(ZBSESSION* s, const void*) {
  s->WebPort = 8080;
  s->WebSecure = 0;
  s->Port = 8080;
}
inline void FixedFtpProbe(ZBSESSION* s, const void*) {
  s->FtpPort = 21;
  s->FtpSecure = 0;
}

// Faults to arm on the device: answer with `code`, or with 200 and a
// replacement reply body.
inline devsim::Fault ResultFault(int code) {
  devsim::Fault f;
  f.kind = devsim::Fault::Kind::kFailWith;
  f.code = code;
  return f;
}
inline devsim::Fault BodyFault(std::string body) {
  devsim::Fault f = ResultFault(200);
  f.body = std::move(body);
  return f;
}

// Boxes 7 and 8, each with two top-level documents and two folders of two.
inline devsim::PopulateOptions Boxes() {
  devsim::PopulateOptions o;
  o.first_box = 7;
  o.boxes = 2;
  o.folders = 2;
  o.documents = 2;
  o.pages = 1;
  o.page_bytes = 1500;
  return o;
}

inline devsim::Profile WithLayout(devsim::Layout layout, bool restricted) {
  devsim::Profile p = devsim::Profile::Defaults(layout);
  if (restricted) p.extra["web.connect_result"] = "4";
  return p;
}

class DeviceSession {
 public:
  explicit DeviceSession(bool restricted,
                         devsim::Layout layout = devsim::Layout::kClassic)
      : DeviceSession(WithLayout(layout, restricted), restricted) {}
  DeviceSession(devsim::Profile profile, bool restricted)
      : env_(100),
        use_(&env_),
        probes_({&FixedWebProbe, &FixedFtpProbe}),
        dev_(std::move(profile), {"web", "ftp"}, Boxes()) {
    ModelAdditionCheck::ResetForTesting();
    EXPECT_TRUE(dev_.ok()) << dev_.error();
    std::strncpy(s_.Host, dev_->address().c_str(), sizeof s_.Host - 1);
    s_.Port = 8080;
    uint32_t r = zbBoxOpenConnection(&s_, nullptr);
    EXPECT_EQ(r, restricted ? 1u : 0u);
    EXPECT_EQ(s_.AccessMode, restricted ? 20u : 0u);
    if (web()) web()->ClearRequests();
  }
  ~DeviceSession() {
    zbBoxCloseConnection(&s_);
    CLogger::StopLog();
    ModelAdditionCheck::ResetForTesting();
  }
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  ZBSESSION* s() { return &s_; }
  devsim::Device& dev() { return *dev_; }
  WebService* web() { return WebService::Of(*dev_); }
  devsim::web::BoxCgiState& state() { return devsim::web::BoxCgiStateOf(*dev_); }
  platform::FakeEnv& env() { return env_; }

  // The query (GET) or body (POST) of the last request to a CGI.
  std::string LastQuery(std::string_view cgi) {
    std::vector<RecordedRequest> r = web()->RequestsTo(cgi);
    if (r.empty()) return "<none>";
    return r.back().method == "POST" ? r.back().body : r.back().query;
  }
  std::string LastMethod(std::string_view cgi) {
    std::vector<RecordedRequest> r = web()->RequestsTo(cgi);
    return r.empty() ? "<none>" : r.back().method;
  }
  size_t Count(std::string_view cgi) { return web()->RequestsTo(cgi).size(); }
  std::string Sid() { return Format("SID=%08u", s_.SessionId); }

 private:
  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  ScopedPortProbes probes_;
  devsim::ScopedDevice dev_;
  ZBSESSION s_{};
};

}  // namespace boxlink::testing

// The common frame of every export that talks to a device CGI.
//
// An export states only what is its own (path, query, reply fields); the
// frame does the rest: the session check, the version gate (GET with the
// query in the target, or POST with the query as body), the transport, the
// reply's Result code, logging under the export's name, and the error
// convention (nothing escapes; unexpected failures become 1359).
//
// A status-style export:
//
//   ZB_API uint32_t zbBoxDeleteAllBox(ZBSESSION* session, const char* pwd) {
//     return boxlink::RunCgiExport("zbBoxDeleteAllBox", session, [&](boxlink::CgiCall& cgi) {
//       std::string query = cgi.restricted()
//           ? boxlink::Format("SID=%08lu", cgi.sid())
//           : boxlink::Format("SID=%08lu&PWD=%s", cgi.sid(), cgi.Password(pwd).c_str());
//       boxlink::CgiReply reply = cgi.Send("/TarnBox/Admin/boxnwDeleteAllBox", query);
//       // read more fields from reply.doc() with the reply.h functions;
//       // a missing one raises 11 (BoxError)
//     });
//   }
//
// A handle-style export uses RunCgiHandleExport, whose body returns the
// block to hand out (the frame sets the last error: 0, or the failure).
// Inside a body, fail with boxlink::Raise(code); everything the body holds
// must be RAII, since failures unwind through it.
//
// Steps, in order: null session, null ConnectHandle or SessionId 0 -> 87
// without logging (handle style: last error 87, null). The engine cache is
// filled when empty (failure -> 1359). The body runs; a BoxError is logged
// as "\n ==> <export> Failed With ERROR - <code> : <text>" and returned, any
// other exception as the "Default ERROR" form with 1359. On success the
// last error is 0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "boxlink.h"
#include "boxlink/base/format.h"
#include "boxlink/base/box_error.h"
#include "boxlink/client/reply.h"
#include "platform/mem_block.h"

namespace boxlink {

// The loaded reply of one CGI request, with its Result checked.
class CgiReply {
 public:
  CgiReply(platform::UniqueBlock block, std::unique_ptr<ReplyDocument> doc)
      : block_(std::move(block)), doc_(std::move(doc)) {}
  ReplyDocument& doc() { return *doc_; }
  // The raw reply bytes.
  std::string_view bytes() const;

 private:
  platform::UniqueBlock block_;
  std::unique_ptr<ReplyDocument> doc_;
};

enum class CgiMethod {
  kGate,  // POST when the cached engine version contains "V2.0.0.0", else GET
  kGet,
  kPost,
};

struct CgiOptions {
  CgiMethod method = CgiMethod::kGate;
  bool no_encoding = false;  // GET target sent without percent-encoding
  bool check_result = true;  // apply CheckCgiResult to Message/Result
};

class CgiCall {
 public:
  explicit CgiCall(ZBSESSION* session) : session_(session) {}

  ZBSESSION& session() { return *session_; }
  unsigned long sid() const { return session_->SessionId; }
  // Access mode 20: administrative CGIs go without PWD.
  bool restricted() const { return session_->AccessMode == ZB_ACCESS_RESTRICTED; }
  // The password to send for the session's access mode (ResolveBoxPassword).
  std::string Password(const char* password) const;

  // Sends `query` to `path` (GET "path?query", or POST with the query as
  // body), loads the reply (13), reads Message/Result (11) and checks it.
  // An empty query on GET sends the bare path.
  CgiReply Send(std::string_view path, std::string_view query, CgiOptions options = {});
  // The same with a UTF-16 query (GET target or POST body).
  CgiReply Send(std::string_view path, std::u16string_view query, CgiOptions options = {});

 private:
  ZBSESSION* session_;
};

// The session is open: ConnectHandle set and SessionId not 0.
bool SessionIsOpen(const ZBSESSION* session);

uint32_t RunCgiExport(std::string_view export_name, ZBSESSION* session,
                      const std::function<void(CgiCall&)>& body);
ZBBLOCK RunCgiHandleExport(std::string_view export_name, ZBSESSION* session,
                           const std::function<platform::BlockHandle(CgiCall&)>& body);
// The error convention alone, for exports without the session check: runs
// body, logs under export_name, returns 0 or the code.
uint32_t RunGuarded(std::string_view export_name, const std::function<void()>& body);

// --- Pieces of the frame, for exports whose steps differ.

// The code a CGI Result stands for (0 for success).
uint32_t MapCgiResult(int32_t result);
// Reads the text as a decimal number; raises the mapped code unless it is 0.
void CheckCgiResult(std::string_view result_text);
// Fills out[256] (zeroed first) with the password to send: the caller's in
// access modes 0 and 20, the service password in mode 1; raises 1327 in
// mode 2 and 87 in any other mode.
void ResolveBoxPassword(const ZBSESSION* session, const char* password, char out[256]);
// True when the cached engine version selects POST.
bool GateSelectsPost();
// Fills the engine cache through the engine-information export when its
// version is empty; raises 1359 when that fails.
void EnsureEngineInfo(ZBSESSION* session);
// Loads a reply block (13) and checks Message/Result (11, CheckCgiResult).
CgiReply LoadCgiReply(platform::UniqueBlock block, bool check_result = true);

}  // namespace boxlink

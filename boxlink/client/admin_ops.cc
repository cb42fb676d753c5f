// The administrative operations: the panel's exclusive box job mode, the
// transfer's FTP account, deleting documents and boxes, renumbering after a
// restore, and the boxes' last backup dates.
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "boxlink.h"
#include "boxlink/base/settings_key.h"
#include "boxlink/client/cgi.h"
#include "boxlink/client/connection.h"
#include "boxlink/client/http_transport.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/query_texts.h"
#include "standins/inet/net_state.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/last_error.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace boxlink {
namespace {

constexpr uint32_t kTooManyRetries = 1279;
constexpr int kUnlockAttempts = 11;
constexpr uint32_t kUnlockPauseMs = 60'000;
constexpr size_t kWideIdChars = 259;

// "Lock" set to non-zero leaves the panel alone (sites whose panel must stay
// usable during a backup).
bool LockSwitchSet() {
  auto key = platform::RegKey::Open(platform::Env::Current()->registry(),
                                    platform::RegRoot::kCurrentUser,
                                    kBoxLinkKey);
  if (!key) return false;
  std::optional<uint32_t> v = key->GetDword("Lock");
  return v && *v != 0;
}

std::u16string Wide(const char* utf8) {
  std::u16string w = platform::Utf8ToUtf16(utf8 ? utf8 : "");
  if (w.size() > kWideIdChars) {
    // Never cut a surrogate pair in two.
    size_t n = kWideIdChars;
    if (n > 0 && w[n - 1] >= 0xD800 && w[n - 1] <= 0xDBFF) --n;
    w.resize(n);
  }
  return w;
}

// The web server the session uses, in its own protocol: a plain request
// to a TLS port gets no answer, and the retry would end after one refusal.
std::string FrontEndUrl(const ZBSESSION& s) {
  return Format("%s://%s:%04u/Halvo", s.WebSecure == 1 ? "https" : "http",
                UrlHost(s).c_str(), s.WebPort);
}

}  // namespace
}  // namespace boxlink

using namespace boxlink;

ZB_API uint32_t zbBoxLockUiJob(ZBSESSION* session, const char* password,
                               uint32_t mode, uint32_t* deviceTime) {
  if (!SessionIsOpen(session)) return ZB_ERR_INVALID_PARAMETER;
  session->Alive = 1;
  if (LockSwitchSet()) {
    platform::SetLastError(0);
    return 0;
  }
  return RunCgiExport("zbBoxLockUiJob", session, [&](CgiCall& cgi) {
    if (!deviceTime) Raise(ZB_ERR_INVALID_PARAMETER);
    std::string pwd = cgi.restricted() ? std::string() : cgi.Password(password);
    *deviceTime = 0;
    CgiReply reply = cgi.Send(
        kCgiExModeIn, UiJobQuery(cgi.sid(), pwd, mode, cgi.restricted()));
    *deviceTime = static_cast<uint32_t>(
        GetChildNumber(reply.doc(), "BoxNwLib/Message", "CurrentTime"));
  });
}

ZB_API uint32_t zbBoxUnlockUiJob(ZBSESSION* session, const char* password,
                                 uint32_t mode) {
  return RunCgiExport("zbBoxUnlockUiJob", session, [&](CgiCall& cgi) {
    std::string pwd = cgi.restricted() ? std::string() : cgi.Password(password);
    cgi.Send(kCgiExModeOut, UiJobQuery(cgi.sid(), pwd, mode, cgi.restricted()));
  });
}

ZB_API uint32_t zbBoxRetryUnlockUiJob(ZBSESSION* session,
                                      const char* password, uint32_t mode) {
  uint32_t code = RunGuarded("zbBoxRetryUnlockUiJob", [&] {
    uint32_t r = zbBoxUnlockUiJob(session, password, mode);
    for (int attempt = 1; r != 0; ++attempt) {
      if (attempt == kUnlockAttempts) Raise(kTooManyRetries);
      // A session that was never open cannot become reachable by waiting.
      if (!session) Raise(r);
      platform::SetLastError(0);
      if (!inet::NetworkState::Current().CheckConnection(FrontEndUrl(*session),
                                                         true)) {
        uint32_t err = platform::GetLastError();
        if (err == 0) err = ZB_ERR_HTTP_CANNOT_CONNECT;
        CLogger::LogError("zbBoxRetryUnlockUiJob - InternetCheckConnection ",
                          err);
        Raise(err);
      }
      if (session->Alive == 0) Raise(r);
      platform::Env::Current()->clock().SleepMillis(kUnlockPauseMs);
      r = zbBoxUnlockUiJob(session, password, mode);
    }
  });
  platform::SetLastError(code);
  return code;
}

ZB_API uint32_t zbBoxCreateFTPAccount(ZBSESSION* session,
                                      const char* password, char* loginName) {
  return RunCgiExport("zbBoxCreateFTPAccount", session, [&](CgiCall& cgi) {
    if (!loginName) Raise(ZB_ERR_INVALID_PARAMETER);
    std::string pwd = cgi.restricted() ? std::string() : cgi.Password(password);
    CgiReply reply = cgi.Send(kCgiCreateFtpAccount,
                              SessionQuery(cgi.sid(), pwd, cgi.restricted()));
    char login[256];
    if (uint32_t r = GetNodeText(reply.doc(), "BoxNwLib/Message/LoginName",
                                 login, sizeof login))
      Raise(r);
    if (cgi.restricted()) {
      char ftp_password[sizeof session->FtpPassword];
      if (uint32_t r = GetNodeText(reply.doc(),
                                   "BoxNwLib/Message/LoginPassword",
                                   ftp_password, sizeof ftp_password))
        Raise(r);
      platform::CopyBounded(session->FtpPassword, sizeof session->FtpPassword,
                            ftp_password);
    }
    platform::CopyBounded(loginName, 256, login);
  });
}

ZB_API uint32_t zbBoxDeleteFTPAccount(ZBSESSION* session,
                                      const char* password) {
  return RunCgiExport("zbBoxDeleteFTPAccount", session, [&](CgiCall& cgi) {
    std::string pwd = cgi.restricted() ? std::string() : cgi.Password(password);
    cgi.Send(kCgiDeleteFtpAccount,
             SessionQuery(cgi.sid(), pwd, cgi.restricted()));
  });
}

ZB_API uint32_t zbBoxDeleteDocument(ZBSESSION* session, uint32_t boxNo,
                                    const char* password, uint32_t folderNo,
                                    uint32_t docNo, const char* folderIdText,
                                    const char* docIdText) {
  return RunCgiExport("zbBoxDeleteDocument", session, [&](CgiCall& cgi) {
    if (cgi.restricted()) {
      if (!docIdText || !*docIdText) Raise(ZB_ERR_INVALID_PARAMETER);
      CgiOptions options;
      options.no_encoding = true;
      cgi.Send(kCgiDeleteDoc,
               std::u16string_view(DeleteDocQueryWide(
                   cgi.sid(), boxNo, Wide(password), Wide(folderIdText),
                   Wide(docIdText))),
               options);
      return;
    }
    if (docNo == 0) Raise(ZB_ERR_INVALID_PARAMETER);
    cgi.Send(kCgiDeleteDoc, DeleteDocQuery(cgi.sid(), boxNo,
                                           cgi.Password(password), folderNo,
                                           docNo));
  });
}

ZB_API uint32_t zbBoxDeleteAllBox(ZBSESSION* session, const char* password) {
  uint32_t code =
      RunCgiExport("zbBoxDeleteAllBox", session, [&](CgiCall& cgi) {
        std::string pwd =
            cgi.restricted() ? std::string() : cgi.Password(password);
        cgi.Send(kCgiDeleteAllBox,
                 SessionQuery(cgi.sid(), pwd, cgi.restricted()));
      });
  MarkSessionLostOn(session, code);
  return code;
}

ZB_API uint32_t zbBoxDirSerialClusterChange(ZBSESSION* session,
                                            uint32_t boxNo,
                                            const char* password,
                                            uint32_t folderNo, uint32_t docNo,
                                            uint32_t noc, uint32_t mod) {
  return RunCgiExport(
      "zbBoxDirSerialClusterChange", session, [&](CgiCall& cgi) {
        cgi.Send(kCgiClusterChange,
                 ClusterChangeQuery(cgi.sid(), boxNo, cgi.Password(password),
                                    folderNo, docNo, noc, mod));
      });
}

ZB_API uint32_t zbBoxUpdateLastBackupDates(ZBSESSION* session,
                                           const char* password,
                                           uint32_t lastBackupDate,
                                           uint32_t count,
                                           const uint32_t* boxNumbers) {
  if (!SessionIsOpen(session)) return ZB_ERR_INVALID_PARAMETER;
  // Always a POST, and no version gate: the engines that keep these dates
  // all take bodies.
  return RunGuarded("zbBoxUpdateLastBackupDates", [&] {
    if (count == 0 || !boxNumbers) Raise(ZB_ERR_INVALID_PARAMETER);
    CgiCall cgi(session);
    std::string pwd = cgi.restricted() ? std::string() : cgi.Password(password);
    CgiOptions options;
    options.method = CgiMethod::kPost;
    cgi.Send(kCgiLastBackupDate,
             LastBackupDatesBody(cgi.sid(), pwd, cgi.restricted(),
                                 lastBackupDate,
                                 std::span<const uint32_t>(boxNumbers, count)),
             options);
  });
}

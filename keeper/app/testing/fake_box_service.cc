#include "keeper/app/testing/fake_box_service.h"

#include <cstring>

#include "standins/cryptocore/crypto_core.h"

namespace keeper {
namespace {

constexpr uint32_t kErrInvalidParameter = 87;
constexpr uint32_t kErrInternal = 1359;
constexpr uint32_t kErrNotAuthorised = 1244;
constexpr uint32_t kErrCannotConnect = 12029;
constexpr uint32_t kErrBadPassword = 1216;

// Any non-null handle: the fake never dereferences it.
void* const kHandle = reinterpret_cast<void*>(0x1);

std::string HostOf(const ZBSESSION* s) {
  return std::string(s->Host, strnlen(s->Host, sizeof s->Host));
}

}  // namespace

bool FakeBoxService::Open(const ZBSESSION* s) {
  return s && s->ConnectHandle && s->SessionId != 0;
}

FakeBoxService::Device* FakeBoxService::Find(const ZBSESSION* s) {
  auto it = devices.find(HostOf(s));
  return it == devices.end() ? nullptr : &it->second;
}

int FakeBoxService::Count(const std::string& prefix) const {
  int n = 0;
  for (const std::string& c : calls) n += c.rfind(prefix, 0) == 0;
  return n;
}

uint32_t FakeBoxService::OpenConnection(ZBSESSION* s, ZBSNMPSETTINGS* snmp) {
  calls.push_back("Open " + HostOf(s));
  if (snmp) last_snmp = *snmp;
  Device* d = Find(s);
  if (!d) return kErrCannotConnect;
  const uint32_t r = d->open_result;
  // As the library: a session that got its reply stays open for 0, 1 and
  // 50; one that never reached the device is closed.
  if (r == 0 || r == 1 || r == 50) {
    s->InternetHandle = kHandle;
    s->ConnectHandle = kHandle;
    s->SessionId = r == 1 ? 1 : 4711;
    s->AccessMode = r == 1 ? 20 : 0;
  }
  return r;
}

uint32_t FakeBoxService::CloseConnection(ZBSESSION* s) {
  calls.push_back("Close " + HostOf(s));
  if (!s->ConnectHandle || s->SessionId == 0) {
    s->InternetHandle = s->ConnectHandle = nullptr;
    s->SessionId = 0;
    return kErrInvalidParameter;
  }
  s->InternetHandle = s->ConnectHandle = nullptr;
  s->SessionId = 0;
  return 0;
}

uint32_t FakeBoxService::GetSecuritySettings(ZBSESSION* s, ZBSECURITY* sec) {
  calls.push_back("Security " + HostOf(s));
  Device* d = Find(s);
  if (!d || !s->ConnectHandle) return kErrInvalidParameter;
  if (d->security_result) return d->security_result;
  sec->SecurityMode = 1;
  sec->AuthenticationEnable = 1;
  sec->AuthenticationMethod = 2;
  sec->HashAlgorithm = 1;
  return 0;
}

uint32_t FakeBoxService::Authenticate(ZBSESSION* s, ZBSECURITY* sec) {
  Device* d = Find(s);
  const std::string pwd(sec->Password, strnlen(sec->Password, sizeof sec->Password));
  std::string plain = pwd;
  if (sec->PasswordEncoded) {
    auto decoded = zelt::crypto::DecodeCredentialMode1(pwd);
    plain = decoded ? *decoded : std::string("\x01undecodable");
  }
  const std::string enc = " enc=" + std::to_string(sec->PasswordEncoded);
  if (!d || !s->ConnectHandle) {
    calls.push_back("Authenticate " + HostOf(s) + " closed" + enc);
    return kErrInternal;
  }
  if (d->authenticate_result) {
    calls.push_back("Authenticate " + HostOf(s) + " failed" + enc);
    s->SessionId = 0;
    return d->authenticate_result;
  }
  if (plain != d->password) {
    calls.push_back("Authenticate " + HostOf(s) + " refused" + enc);
    s->SessionId = 0;
    return kErrNotAuthorised;
  }
  calls.push_back("Authenticate " + HostOf(s) + " ok" + enc);
  s->SessionId = 5150;
  s->AccessMode = 20;
  return 0;
}

uint32_t FakeBoxService::GetServiceStatus(ZBSESSION* s) {
  calls.push_back("Status " + HostOf(s));
  Device* d = Find(s);
  if (!d || !s->ConnectHandle) return kErrInternal;
  return d->service_status;
}

uint32_t FakeBoxService::GetEngineInfo(ZBSESSION* s, const char* password,
                                       ZBENGINEINFO* info) {
  calls.push_back("Engine " + HostOf(s) + " pwd=" +
                  std::string(password ? password : "(null)"));
  Device* d = Find(s);
  if (!d || !Open(s)) return kErrInvalidParameter;
  if (d->engine_result) return d->engine_result;
  std::strncpy(info->EngineVersion, d->engine_version.c_str(),
               sizeof info->EngineVersion - 1);
  return 0;
}

uint32_t FakeBoxService::GetBoxList(ZBSESSION* s, std::vector<BoxEntry>* out) {
  calls.push_back("List " + HostOf(s));
  out->clear();
  Device* d = Find(s);
  if (!d || !Open(s)) return kErrInvalidParameter;
  if (d->list_result) return d->list_result;
  *out = d->boxes;
  return 0;
}

uint32_t FakeBoxService::LockUiJob(ZBSESSION* s, const char* password,
                                   uint32_t mode) {
  calls.push_back("Lock " + HostOf(s) + " mode=" + std::to_string(mode) +
                  " pwd=" + password);
  Device* d = Find(s);
  if (!d || !Open(s)) return kErrInvalidParameter;
  if (d->lock_result) return d->lock_result;
  d->locked = true;
  return 0;
}

uint32_t FakeBoxService::RetryUnlockUiJob(ZBSESSION* s, const char* password,
                                          uint32_t mode) {
  calls.push_back("Unlock " + HostOf(s) + " mode=" + std::to_string(mode) +
                  " pwd=" + password);
  Device* d = Find(s);
  if (!d || !Open(s)) return kErrInvalidParameter;
  if (d->unlock_result) return d->unlock_result;
  d->locked = false;
  return 0;
}

uint32_t FakeBoxService::DeleteAllBox(ZBSESSION* s, const char* password) {
  calls.push_back("Delete " + HostOf(s) + " pwd=" + password);
  Device* d = Find(s);
  if (!d || !Open(s)) return kErrInvalidParameter;
  if (!d->locked) return kErrInternal;  // the device wants its panel locked
  if (password != d->password) return kErrBadPassword;
  if (d->delete_result) return d->delete_result;
  d->boxes.clear();
  return 0;
}

}  // namespace keeper

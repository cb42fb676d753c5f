#include "boxlink/client/cgi.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>

#include "boxlink/client/engine_cache.h"
#include "boxlink/client/http_transport.h"
#include "boxlink/base/logger.h"
#include "platform/last_error.h"
#include "platform/text.h"

namespace boxlink {
namespace {

constexpr char kServicePassword[] = "rPLANAR604";
constexpr char kPostVersionMark[] = "V2.0.0.0";

platform::UniqueBlock CheckedBlock(platform::BlockHandle block) {
  if (!block) Raise(platform::GetLastError());
  return platform::UniqueBlock(block);
}

}  // namespace

std::string_view CgiReply::bytes() const {
  return {static_cast<const char*>(platform::BlockLock(block_.get())),
          platform::BlockSize(block_.get())};
}

uint32_t MapCgiResult(int32_t result) {
  switch (result) {
    case 0: return 0;
    case 1: case 206: return ZB_ERR_NOT_ENOUGH_MEMORY;
    case 2: case 210: return ZB_ERR_INVALID_PASSWORD_FORMAT;
    case 4: return ZB_ERR_INVALID_FUNCTION;
    case 100: case 202: return ZB_ERR_TIMEOUT;
    case 101: case 204: return ZB_ERR_BAD_PATHNAME;
    case 102: return ZB_ERR_REMOTE_STORAGE_NOT_ACTIVE;
    case 103: case 104: case 106: case 107: case 200: return ZB_ERR_INTERNAL_ERROR;
    case 105: case 211: case 212: case 300: case 400: return ZB_ERR_TOO_MANY_SEMAPHORES;
    case 201: case 203: case 205: case 207: case 208: case 209: return ZB_ERR_BUSY;
    case 214: return ZB_ERR_ACCESS_DISABLED_BY_POLICY;
    case 500: case 501: return ZB_ERR_SPECIAL_ACCOUNT;
    case 602: return ZB_ERR_PASSWORD_MUST_CHANGE;
    case 603: return ZB_ERR_PASSWORD_EXPIRED;
    case 604: return ZB_ERR_PASSWORD_RESTRICTION;
    case 605: return ZB_ERR_ACCOUNT_LOCKED_OUT;
    default: return ZB_ERR_INTERNAL_ERROR;
  }
}

void CheckCgiResult(std::string_view result_text) {
  uint32_t code = MapCgiResult(ParseDecimal(result_text));
  if (code != 0) Raise(code);
}

void ResolveBoxPassword(const ZBSESSION* session, const char* password, char out[256]) {
  std::memset(out, 0, 256);
  switch (session->AccessMode) {
    case 0:
    case 20:
      if (password) platform::CopyBounded(out, 256, password);
      return;
    case 1:
      platform::CopyBounded(out, 256, kServicePassword);
      return;
    case 2:
      Raise(ZB_ERR_ACCOUNT_RESTRICTION);
    default:
      Raise(ZB_ERR_INVALID_PARAMETER);
  }
}

bool GateSelectsPost() {
  const EngineInfoRecord& cache = EngineInfoCache();
  std::string_view version(cache.EngineVersion, strnlen(cache.EngineVersion, sizeof cache.EngineVersion));
  return version.find(kPostVersionMark) != std::string_view::npos;
}

void EnsureEngineInfo(ZBSESSION* session) {
  EngineInfoRecord& cache = EngineInfoCache();
  if (cache.EngineVersion[0] != '\0') return;
  EngineInfoFill fill = GetEngineInfoFill();
  if (!fill || fill(session, nullptr, &cache) != 0) Raise(ZB_ERR_INTERNAL_ERROR);
}

CgiReply LoadCgiReply(platform::UniqueBlock block, bool check_result) {
  std::string_view bytes(static_cast<const char*>(platform::BlockLock(block.get())),
                         platform::BlockSize(block.get()));
  auto doc = ReplyDocument::Load(bytes);
  if (!doc) Raise(ZB_ERR_INVALID_DATA);
  if (check_result) {
    std::optional<std::string> result = doc->Text("BoxNwLib/Message/Result");
    if (!result) Raise(ZB_ERR_BAD_FORMAT);
    CheckCgiResult(*result);
  }
  return CgiReply(std::move(block), std::move(doc));
}

bool SessionIsOpen(const ZBSESSION* session) {
  return session && session->ConnectHandle && session->SessionId != 0;
}

std::string CgiCall::Password(const char* password) const {
  char out[256];
  ResolveBoxPassword(session_, password, out);
  return out;
}

CgiReply CgiCall::Send(std::string_view path, std::string_view query, CgiOptions options) {
  bool post = options.method == CgiMethod::kPost ||
              (options.method == CgiMethod::kGate && GateSelectsPost());
  platform::BlockHandle block;
  if (post) {
    std::string body(query);
    block = _zbBoxProcPost(session_, path, &body);
  } else {
    std::string target(path);
    if (!query.empty()) {
      target += '?';
      target += query;
    }
    block = _zbBoxProcGet(session_, target, options.no_encoding);
  }
  return LoadCgiReply(CheckedBlock(block), options.check_result);
}

CgiReply CgiCall::Send(std::string_view path, std::u16string_view query, CgiOptions options) {
  bool post = options.method == CgiMethod::kPost ||
              (options.method == CgiMethod::kGate && GateSelectsPost());
  platform::BlockHandle block;
  if (post) {
    block = _zbBoxProcPost(session_, path, query);
  } else {
    std::u16string target = platform::Utf8ToUtf16(path);
    if (!query.empty()) {
      target += u'?';
      target += query;
    }
    block = _zbBoxProcGet(session_, target);
  }
  return LoadCgiReply(CheckedBlock(block), options.check_result);
}

uint32_t RunGuarded(std::string_view export_name, const std::function<void()>& body) {
  try {
    body();
    platform::SetLastError(0);
    return 0;
  } catch (const BoxError& e) {
    CLogger::LogError(export_name, e.code());
    return e.code();
  } catch (...) {
    CLogger::LogError(export_name, ZB_ERR_INTERNAL_ERROR, true);
    return ZB_ERR_INTERNAL_ERROR;
  }
}

uint32_t RunCgiExport(std::string_view export_name, ZBSESSION* session,
                      const std::function<void(CgiCall&)>& body) {
  try {
    if (!SessionIsOpen(session)) return ZB_ERR_INVALID_PARAMETER;
  } catch (...) {
    return ZB_ERR_INTERNAL_ERROR;
  }
  return RunGuarded(export_name, [&] {
    EnsureEngineInfo(session);
    CgiCall call(session);
    body(call);
  });
}

ZBBLOCK RunCgiHandleExport(std::string_view export_name, ZBSESSION* session,
                           const std::function<platform::BlockHandle(CgiCall&)>& body) {
  if (!SessionIsOpen(session)) {
    platform::SetLastError(ZB_ERR_INVALID_PARAMETER);
    return nullptr;
  }
  platform::BlockHandle result = nullptr;
  uint32_t code = RunGuarded(export_name, [&] {
    EnsureEngineInfo(session);
    CgiCall call(session);
    result = body(call);
  });
  if (code != 0) {
    platform::BlockFree(result);
    platform::SetLastError(code);
    return nullptr;
  }
  platform::SetLastError(0);
  return reinterpret_cast<ZBBLOCK>(result);
}

}  // namespace boxlink

#include "ftpshim/ftp_wrapper.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace ftpshim {
namespace {

constexpr int kFailed = 6;

ftplib::transfermode Mode(int mode) {
  return mode == 1 ? ftplib::ascii : ftplib::image;
}

ftplib::accesstype Access(int type) {
  switch (type) {
    case 1:
    case 2:
    case 3:
    case 5:
    case 6:
      return static_cast<ftplib::accesstype>(type);
    default:
      return ftplib::filewrite;
  }
}

// One library call; whatever it throws becomes `failed`.
template <typename Fn>
int Guard(ftplib* f, Fn&& fn, int failed = kFailed) {
  if (!f) return failed;
  try {
    return fn(*f);
  } catch (...) {
    return failed;
  }
}

}  // namespace

void DebugOutput(const char* text) {
  if (std::getenv("ZELT_DEBUG_OUTPUT")) std::fprintf(stderr, "%s\n", text);
}

int IFtpImplements::IFtpConnect(const char* host, int port, uint32_t scope) {
  return Guard(m_pFtps.get(),
               [&](ftplib& f) { return f.Connect(host, port, scope); });
}

int IFtpImplements::IFtpNegotiateEncryption() {
  return Guard(m_pFtps.get(), [](ftplib& f) { return f.NegotiateEncryption(); });
}

int IFtpImplements::IFtpLogin(const char* user, const char* password) {
  return Guard(m_pFtps.get(),
               [&](ftplib& f) { return f.Login(user, password); });
}

int IFtpImplements::IFtpSetDataEncryption(int flag) {
  return Guard(m_pFtps.get(), [&](ftplib& f) {
    return f.SetDataEncryption(flag ? ftplib::secure : ftplib::unencrypted);
  });
}

void IFtpImplements::IFtpSetConnmode(int mode) {
  if (!m_pFtps) throw static_cast<uint32_t>(kFailed);
  try {
    m_pFtps->SetConnmode(mode == 1 ? ftplib::pasv : ftplib::port);
  } catch (...) {
    throw static_cast<uint32_t>(kFailed);
  }
}

int IFtpImplements::IFtpNlst(const char* local_file, const char* path) {
  return Guard(m_pFtps.get(),
               [&](ftplib& f) { return f.Nlst(local_file, path); });
}

int IFtpImplements::IFtpChdir(const char* path) {
  return Guard(m_pFtps.get(), [&](ftplib& f) { return f.Chdir(path); });
}

int IFtpImplements::IFtpMkdir(const char* path) {
  return Guard(m_pFtps.get(), [&](ftplib& f) { return f.Mkdir(path); });
}

int IFtpImplements::IFtpRmdir(const char* path) {
  return Guard(m_pFtps.get(), [&](ftplib& f) { return f.Rmdir(path); });
}

int IFtpImplements::IFtpRename(const char* from, const char* to) {
  return Guard(m_pFtps.get(), [&](ftplib& f) { return f.Rename(from, to); });
}

int IFtpImplements::IFtpDelete(const char* path) {
  return Guard(m_pFtps.get(), [&](ftplib& f) { return f.Delete(path); });
}

int IFtpImplements::IFtpRaw(const char* command) {
  return Guard(m_pFtps.get(), [&](ftplib& f) { return f.Raw(command); });
}

int IFtpImplements::IFtpQuit() {
  return Guard(m_pFtps.get(), [](ftplib& f) { return f.Quit(); });
}

int IFtpImplements::IFtpGet(const char* local_file, const char* path, int mode,
                            int64_t offset) {
  return Guard(m_pFtps.get(), [&](ftplib& f) {
    return f.Get(local_file, path, Mode(mode), offset);
  });
}

int IFtpImplements::IFtpPut(const char* local_file, const char* path, int mode,
                            int64_t offset) {
  if (!m_pFtps) {
    DebugOutput("m_pFtps is NULL in IFtpPut");
    return kFailed;
  }
  try {
    return m_pFtps->Put(local_file, path, Mode(mode), offset);
  } catch (uint32_t code) {
    DebugOutput("DWORD error in IFtpImplements::IFtpPut");
    return static_cast<int>(code);
  } catch (...) {
    DebugOutput("Exception in IFtpImplements::IFtpPut");
    return kFailed;
  }
}

void* IFtpImplements::IFtpRawOpen(const char* path, int access_type, int mode) {
  if (!m_pFtps) return nullptr;
  try {
    return m_pFtps->RawOpen(path, Access(access_type), Mode(mode));
  } catch (...) {
    return nullptr;
  }
}

int IFtpImplements::IFtpRawClose(void* handle) {
  if (!handle) return FTPSHIM_ERR_INVALID_PARAMETER;
  if (!m_pFtps) return kFailed;
  try {
    return m_pFtps->RawClose(static_cast<ftphandle*>(handle));
  } catch (uint32_t code) {
    return static_cast<int>(code);
  } catch (...) {
    return FTPSHIM_ERR_INTERNAL_ERROR;
  }
}

}  // namespace ftpshim

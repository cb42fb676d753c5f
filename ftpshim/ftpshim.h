/*
 * ftpshim: a narrow, exception-free FTP interface loaded by name.
 *
 * boxlink loads the library at run time, looks up CreateFtpHandle and
 * ReleaseFtpHandle by name and uses the returned object through its virtual
 * operations only. Every operation returns non-zero on success and 0 on
 * failure unless its comment says otherwise; after a failure the thread's
 * last error is whatever the FTP library left there.
 *
 * Values passed through: transfer mode 1 ascii, anything else image;
 * access type 1 directory, 2 verbose directory, 3 file read, 4 file write,
 * 5 file read-append, 6 file write-append; connection mode 1 passive,
 * anything else active; data encryption 0 clear, non-zero protected.
 */
#ifndef FTPSHIM_H_
#define FTPSHIM_H_

#include <stdint.h>

#ifdef __cplusplus

class IFtp {
 public:
  virtual int IFtpConnect(const char* host, int port, uint32_t scope_id) = 0;
  virtual int IFtpNegotiateEncryption() = 0;
  virtual int IFtpLogin(const char* user, const char* password) = 0;
  virtual int IFtpSetDataEncryption(int flag) = 0;
  // No result; a failure is thrown as the unsigned code 6.
  virtual void IFtpSetConnmode(int mode) = 0;
  virtual int IFtpNlst(const char* local_file, const char* path) = 0;
  virtual int IFtpChdir(const char* path) = 0;
  virtual int IFtpMkdir(const char* path) = 0;
  virtual int IFtpRmdir(const char* path) = 0;
  virtual int IFtpRename(const char* from, const char* to) = 0;
  virtual int IFtpDelete(const char* path) = 0;
  // One command line without a data connection.
  virtual int IFtpRaw(const char* command) = 0;
  virtual int IFtpQuit() = 0;
  virtual int IFtpGet(const char* local_file, const char* path, int mode,
                      int64_t offset) = 0;
  // 0 on failure, or an error code that the library threw.
  virtual int IFtpPut(const char* local_file, const char* path, int mode,
                      int64_t offset) = 0;
  // A transfer handle, or null.
  virtual void* IFtpRawOpen(const char* path, int access_type, int mode) = 0;
  // 87 for a null handle; else the library's result or its thrown code.
  virtual int IFtpRawClose(void* handle) = 0;

 protected:
  // Objects are destroyed only by ReleaseFtpHandle.
  ~IFtp() = default;
};

extern "C" {
#else
typedef struct IFtp IFtp;
#endif

#define FTPSHIM_API __attribute__((visibility("default")))

/* The wrapper's own codes, the same numbers the client library uses. */
enum {
  FTPSHIM_ERR_INVALID_PARAMETER = 87, /* a null handle or object */
  FTPSHIM_ERR_INTERNAL_ERROR = 1359   /* the library threw something else */
};

/* A new FTP object, or NULL. family_flag and ipv6 go to the library. */
FTPSHIM_API IFtp* CreateFtpHandle(uint32_t family_flag, uint32_t ipv6);
/* 87 for NULL; else destroys the object and returns 0 (no FTP logout). */
FTPSHIM_API uint32_t ReleaseFtpHandle(IFtp* ftp);

typedef IFtp* (*CreateFtpHandleFn)(uint32_t, uint32_t);
typedef uint32_t (*ReleaseFtpHandleFn)(IFtp*);

#ifdef __cplusplus
}
#endif

#endif /* FTPSHIM_H_ */

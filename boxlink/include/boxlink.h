/*
 * boxlink: backup and restore of the document boxes of networked
 * multifunction devices.
 *
 * This is the library's whole public interface. Every export takes the
 * caller's session record first (where it talks to a device) and reports
 * failures as 32-bit codes with the meanings of the Windows system error
 * space; see the ZB_ERR_ constants below.
 *
 * Result styles:
 *   status style  the function returns the error code, 0 on success;
 *   handle style  the function returns a memory block (free it with
 *                 zbBoxFreeBlock) or NULL, and the code is then what
 *                 zbBoxGetLastError() returns.
 *
 * Text is 8-bit text of the system code page unless a function says UTF-8
 * or UTF-16 (ZBWCHAR).
 */
#ifndef BOXLINK_H_
#define BOXLINK_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define ZB_EXTERN_C extern "C"
typedef char16_t ZBWCHAR;
#else
#define ZB_EXTERN_C
#include <uchar.h>
typedef char16_t ZBWCHAR;
#endif

#define ZB_API ZB_EXTERN_C __attribute__((visibility("default")))

/* ------------------------------------------------------------------------
 * Error codes produced by the library itself.
 * --------------------------------------------------------------------- */
enum {
  ZB_ERR_SUCCESS = 0,
  ZB_ERR_INVALID_FUNCTION = 1,      /* CGI Result 4: restricted session */
  ZB_ERR_FILE_NOT_FOUND = 2,        /* HTTP 404 */
  ZB_ERR_INVALID_HANDLE = 6,
  ZB_ERR_NOT_ENOUGH_MEMORY = 8,
  ZB_ERR_BAD_FORMAT = 11,           /* element missing from a reply */
  ZB_ERR_INVALID_ACCESS = 12,       /* HTTP 3xx/4xx */
  ZB_ERR_INVALID_DATA = 13,         /* reply is not XML */
  ZB_ERR_NO_MORE_FILES = 18,
  ZB_ERR_HANDLE_DISK_FULL = 39,     /* no room on the device */
  ZB_ERR_NOT_SUPPORTED = 50,
  ZB_ERR_BAD_NET_RESP = 58,
  ZB_ERR_CANNOT_MAKE = 82,
  ZB_ERR_INVALID_PARAMETER = 87,
  ZB_ERR_TOO_MANY_SEMAPHORES = 100, /* HTTP 503, device busy with others */
  ZB_ERR_BAD_PATHNAME = 161,
  ZB_ERR_BUSY = 170,
  ZB_ERR_CONNECTION_RESET = 257,
  ZB_ERR_CANCELLED = 995,
  ZB_ERR_INVALID_PASSWORD_FORMAT = 1216,
  ZB_ERR_NOT_AUTHENTICATED = 1244,
  ZB_ERR_ACCESS_DISABLED_BY_POLICY = 1260,
  ZB_ERR_PRIVILEGE_NOT_HELD = 1314, /* secure archive refused */
  ZB_ERR_PASSWORD_RESTRICTION = 1325,
  ZB_ERR_ACCOUNT_RESTRICTION = 1327,
  ZB_ERR_PASSWORD_EXPIRED = 1330,
  ZB_ERR_INTERNAL_ERROR = 1359,
  ZB_ERR_SPECIAL_ACCOUNT = 1371,
  ZB_ERR_FILE_CORRUPT = 1392,       /* archive without a known index */
  ZB_ERR_TIMEOUT = 1460,
  ZB_ERR_UNKNOWN_PRODUCT = 1605,
  ZB_ERR_PASSWORD_MUST_CHANGE = 1907,
  ZB_ERR_ACCOUNT_LOCKED_OUT = 1909,
  ZB_ERR_NO_NETWORK = 2250,
  ZB_ERR_DEVICE_NOT_AVAILABLE = 4319,
  ZB_ERR_REMOTE_STORAGE_NOT_ACTIVE = 4351,
  ZB_ERR_BOX_LIMITS = 8260,
  ZB_ERR_HTTP_TIMEOUT = 12002,
  ZB_ERR_HTTP_INTERNAL = 12004,
  ZB_ERR_HTTP_CANNOT_CONNECT = 12029,
  ZB_ERR_HTTP_CONNECTION_RESET = 12031
};

/* ------------------------------------------------------------------------
 * Shared records.
 * --------------------------------------------------------------------- */

/* Broken-down calendar time, 16-bit fields (day_of_week 0 = Sunday). */
typedef struct ZBSYSTEMTIME {
  uint16_t wYear;
  uint16_t wMonth;
  uint16_t wDayOfWeek;
  uint16_t wDay;
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
} ZBSYSTEMTIME;

/*
 * The device session. The caller allocates it, fills Host (and Port),
 * zeroes the rest and passes it to zbBoxOpenConnection, then to every other
 * call. The library never allocates or frees it. A session is open while
 * ConnectHandle is set and SessionId is not 0.
 */
typedef struct ZBSESSION {
  char Host[512];         /* DNS name, IPv4, or IPv6 without brackets */
  uint32_t Port;          /* web server port used for CGI requests */
  uint32_t WebPort;       /* from SNMP while opening; 8080 by default */
  uint32_t FtpPort;       /* from SNMP while opening; 21 by default */
  char AppText[512];      /* the application's own; not used here */
  char FtpPassword[512];  /* password of the device FTP account */
  uint32_t AppValue;      /* the application's own; not used here */
  void* InternetHandle;   /* HTTP client session; NULL when closed */
  void* ConnectHandle;    /* HTTP connection to Host:Port; NULL when closed */
  uint32_t SessionId;     /* device web session id; 0 when closed */
  uint32_t AccessMode;    /* 0 normal, 1 service password, 2 refused,
                             20 restricted session */
  uint32_t WebSecure;     /* 1: web server over TLS */
  uint32_t FtpSecure;     /* 1: FTP server needs TLS */
  uint32_t Alive;         /* 0 once the connection is known to be gone */
  uint32_t ScopeId;       /* IPv6 scope id for link-local hosts */
} ZBSESSION;

/* ------------------------------------------------------------------------
 * Platform services the exports rely on.
 * --------------------------------------------------------------------- */

/* The calling thread's last error (handle-style results). */
ZB_API uint32_t zbBoxGetLastError(void);
ZB_API void zbBoxSetLastError(uint32_t code);

/* Memory blocks returned by handle-style exports. */
typedef struct ZBBLOCK_* ZBBLOCK;
ZB_API void* zbBoxLockBlock(ZBBLOCK block);
ZB_API size_t zbBoxBlockSize(ZBBLOCK block);
ZB_API void zbBoxFreeBlock(ZBBLOCK block);

/* Events for the job exports' progress and cancel protocol. A name makes
 * the event shared by everyone in the process who uses that name. */
typedef struct ZBEVENT_* ZBEVENT;
#define ZB_WAIT_OBJECT_0 0u
#define ZB_WAIT_TIMEOUT 258u
#define ZB_INFINITE 0xFFFFFFFFu
ZB_API ZBEVENT zbBoxCreateEvent(int manualReset, int initialState,
                                const char* name);
ZB_API int zbBoxSetEvent(ZBEVENT event);
ZB_API int zbBoxResetEvent(ZBEVENT event);
ZB_API uint32_t zbBoxWaitEvent(ZBEVENT event, uint32_t milliseconds);
ZB_API void zbBoxCloseEvent(ZBEVENT event);

/* ------------------------------------------------------------------------
 * Session open and close.
 * --------------------------------------------------------------------- */

/* ------------------------------------------------------------------------
 * SNMP device queries.
 * --------------------------------------------------------------------- */

/*
 * The SNMP settings of the current device, owned by the caller and only
 * read here (each text up to 255 characters). A community selects SNMPv1;
 * otherwise a user name with a context and an authentication password
 * selects SNMPv3; otherwise the library's defaults apply.
 */
typedef struct ZBSNMPSETTINGS {
  char UserName[512];
  uint32_t AuthProtocol;  /* 1 HMAC-MD5, 2 HMAC-SHA */
  char AuthPassword[512];
  uint32_t PrivProtocol;  /* 1 no privacy, 2 DES, 4 AES */
  char PrivPassword[512];
  char Context[512];
  char Community[512];
} ZBSNMPSETTINGS;

/* Storage kinds reported by zbBoxGetStorageType. */
#define ZB_STORAGE_UNKNOWN 0u
#define ZB_STORAGE_SSD 1u            /* "Solid State Drive" */
#define ZB_STORAGE_DEVICE_MEMORY 2u  /* "Device Memory" */

/* The device's Ethernet address as 17 characters "xx:xx:xx:xx:xx:xx",
 * written without a terminator into mac (at least 18 bytes, zeroed by the
 * caller). When the device does not tell it, mac is left alone and the
 * result is still 0. host may be a session record (Host comes first). */
ZB_API uint32_t GetMacAddress(const char* host,
                              const ZBSNMPSETTINGS* snmpSettings, char* mac);
/* *status := 0 or 1 as the device reports its automatic authentication
 * mode (another value leaves it unchanged); 2 with 1359 when unreadable. */
ZB_API uint32_t GetAutoAuthModeStatus(const char* host,
                                      const ZBSNMPSETTINGS* snmpSettings,
                                      uint32_t* status);
/* *storageType := one of ZB_STORAGE_*. snmpSettings may be null. */
ZB_API uint32_t zbBoxGetStorageType(const char* host,
                                    const ZBSNMPSETTINGS* snmpSettings,
                                    uint32_t* storageType);

/* ------------------------------------------------------------------------
 * Box, folder and document queries.
 * --------------------------------------------------------------------- */

/* ------------------------------------------------------------------------
 * Administrative operations.
 * --------------------------------------------------------------------- */

/* ------------------------------------------------------------------------
 * Authentication, security settings and service status.
 * --------------------------------------------------------------------- */

/* ------------------------------------------------------------------------
 * Backup and restore jobs.
 * --------------------------------------------------------------------- */

/* ------------------------------------------------------------------------
 * Archive information.
 * --------------------------------------------------------------------- */

#endif /* BOXLINK_H_ */

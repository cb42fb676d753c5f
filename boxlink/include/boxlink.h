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
  ZB_ERR_ACCESS_DENIED = 5,
  ZB_ERR_INVALID_HANDLE = 6,
  ZB_ERR_NOT_ENOUGH_MEMORY = 8,
  ZB_ERR_BAD_FORMAT = 11,           /* element missing from a reply */
  ZB_ERR_INVALID_ACCESS = 12,       /* HTTP 3xx/4xx */
  ZB_ERR_INVALID_DATA = 13,         /* reply is not XML */
  ZB_ERR_NO_MORE_FILES = 18,
  ZB_ERR_WRITE_PROTECT = 19,        /* local file system read-only */
  ZB_ERR_GEN_FAILURE = 31,          /* local file error of no other kind */
  ZB_ERR_SHARING_VIOLATION = 32,
  ZB_ERR_HANDLE_DISK_FULL = 39,     /* no room on the device */
  ZB_ERR_NOT_SUPPORTED = 50,
  ZB_ERR_BAD_NET_RESP = 58,
  ZB_ERR_FILE_EXISTS = 80,
  ZB_ERR_CANNOT_MAKE = 82,
  ZB_ERR_INVALID_PARAMETER = 87,
  ZB_ERR_TOO_MANY_SEMAPHORES = 100, /* HTTP 503, device busy with others */
  ZB_ERR_DISK_FULL = 112,           /* no room on the local disk */
  ZB_ERR_INVALID_NAME = 123,        /* a name that would leave its box */
  ZB_ERR_MOD_NOT_FOUND = 126,       /* a library cannot be loaded */
  ZB_ERR_PROC_NOT_FOUND = 127,      /* a library lacks an entry point */
  ZB_ERR_DIR_NOT_EMPTY = 145,
  ZB_ERR_BAD_PATHNAME = 161,
  ZB_ERR_FILENAME_EXCED_RANGE = 206, /* request or command too long to send */
  ZB_ERR_BUSY = 170,
  ZB_ERR_ALREADY_EXISTS = 183,
  ZB_ERR_FILE_TOO_LARGE = 223,      /* beyond what the archive format holds */
  ZB_ERR_MORE_DATA = 234,           /* a listing longer than the client takes */
  ZB_ERR_CONNECTION_RESET = 257,
  ZB_ERR_NO_MORE_ITEMS = 259,
  ZB_ERR_DIRECTORY = 267,           /* a path that is no folder */
  ZB_ERR_CANCELLED = 995,
  ZB_ERR_SERVICE_NOT_ACTIVE = 1062, /* the FTP service cannot be reached */
  ZB_ERR_IO_DEVICE = 1117,
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
  ZB_ERR_NET_CONNECTION_ABORTED = 10053, /* socket codes of the FTP client */
  ZB_ERR_NET_CONNECTION_RESET = 10054,
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

/* ZBSESSION.AccessMode: how the device let the session in. */
enum {
  ZB_ACCESS_NORMAL = 0,
  ZB_ACCESS_SERVICE_PASSWORD = 1,
  ZB_ACCESS_REFUSED = 2,
  ZB_ACCESS_RESTRICTED = 20 /* the device answers only some CGIs */
};

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
  uint32_t AccessMode;    /* ZB_ACCESS_* */
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

/* Opens the HTTP session and the device web session. snmpSettings is the
 * caller's SNMP access settings record, handed unchanged to the port probes
 * (NULL: their defaults). 0, or 1 (the session stays open in the restricted
 * access mode 20), 50 (retired engine; the session stays open), 87, 1327,
 * 1605, 2250, 4319, 12002, 12004, 12029, a mapped CGI Result code, 11, 13 or
 * 1359. */
ZB_API uint32_t zbBoxOpenConnection(ZBSESSION* session, void* snmpSettings);
/* Ends the device web session and closes both handles (also when the
 * disconnect request fails). 87 when the session is not open. */
ZB_API uint32_t zbBoxCloseConnection(ZBSESSION* session);

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

/* Engine version, MAC address and clock of the device. */
typedef struct ZBENGINEINFO {
  char EngineVersion[512];
  char MACAddress[512];
  uint32_t CurrentTime;   /* device clock, seconds since 1970 UTC */
} ZBENGINEINFO;

/* One entry of the box list. */
typedef struct ZBBOX {
  uint32_t BoxNo;
  char BoxName[512];            /* UTF-8 */
  ZBSYSTEMTIME LastUpdateDate;
  uint32_t Reserved;            /* always 0 */
  uint32_t Protected;
  ZBSYSTEMTIME LastBackupDate;  /* all zero unless the engine reports it */
} ZBBOX;

/* One box's properties. Zero it before the call: what the reply does not
 * provide keeps its value. */
typedef struct ZBBOXPROPERTY {
  uint32_t BoxNo;
  char BoxName[512];            /* system code page */
  char RawBoxName[512];         /* the reply's bytes, references unresolved */
  char BoxOwner[552];
  uint32_t LastBackupDate;      /* seconds since 1970, where reported */
  ZBSYSTEMTIME CreateDate;
  uint32_t Reserved;            /* always 0 */
  uint32_t Protected;
  uint32_t NumOfDocs;
  uint32_t NumOfFolders;
  ZBSYSTEMTIME LastUpdateDate;
  uint32_t BoxUsedDisk;
  uint32_t PreservationPeriod;  /* 0 when the box keeps documents forever */
  char WarningNotice[512];
} ZBBOXPROPERTY;

/* One folder (ItemKind 0) or document (ItemKind 1) of a box or folder. */
typedef struct ZBCOLLECTIONITEM {
  uint32_t ItemKind;
  uint32_t ItemId;
  ZBWCHAR ItemName[256];
  ZBSYSTEMTIME CreateDate;
  ZBSYSTEMTIME LastUpdateDate;
  uint32_t Ready;               /* documents: 0 while still being written */
  uint32_t NumOfDocs;           /* folders */
  ZBSYSTEMTIME LastAccessDate;  /* documents */
  uint32_t NumOfPages;
  uint32_t DocSize;             /* bytes */
  uint32_t SourceType;
  uint32_t ColorMonoMix;
  char ThumbnailPath[2048];     /* UTF-8 */
  uint32_t HorizontalResolution;
  uint32_t VerticalResolution;
  uint32_t ScanDuplex;
} ZBCOLLECTIONITEM;

ZB_API uint32_t zbBoxGetEngineInfo(ZBSESSION* session, const char* password,
                                   ZBENGINEINFO* info);
/* Handle style: an array of *count entries at *list. */
ZB_API ZBBLOCK zbBoxGetBoxList(ZBSESSION* session, uint32_t* count,
                               ZBBOX** list);
ZB_API uint32_t zbBoxGetBoxProperty(ZBSESSION* session, uint32_t boxNo,
                                    const char* password,
                                    ZBBOXPROPERTY* property);
/* Handle style: folders first, then documents. folderNo 0 is the box's top
 * level; in the restricted session folderIdText names the folder instead. */
ZB_API ZBBLOCK zbBoxGetCollection(ZBSESSION* session, uint32_t boxNo,
                                  const char* password, uint32_t folderNo,
                                  uint32_t* count, ZBCOLLECTIONITEM** items,
                                  const char* folderIdText);
/* As zbBoxGetCollection, leaving out documents not changed after *since. */
ZB_API ZBBLOCK zbBoxGetCollectionByTime(ZBSESSION* session, uint32_t boxNo,
                                        const char* password,
                                        uint32_t folderNo, uint32_t* count,
                                        ZBCOLLECTIONITEM** items,
                                        const uint32_t* since,
                                        const char* folderIdText);
ZB_API uint32_t zbBoxGetBoxDiskSpace(ZBSESSION* session, const char* password,
                                     uint32_t* capacity, uint32_t* available);

/* ------------------------------------------------------------------------
 * Administrative operations.
 * --------------------------------------------------------------------- */

/* Exclusive box job mode of the device's panel; mode 0 backup, 1 restore
 * or wipe. *deviceTime receives the device clock. */
ZB_API uint32_t zbBoxLockUiJob(ZBSESSION* session, const char* password,
                               uint32_t mode, uint32_t* deviceTime);
ZB_API uint32_t zbBoxUnlockUiJob(ZBSESSION* session, const char* password,
                                 uint32_t mode);
/* Unlocks, retrying once a minute for about ten minutes while the device
 * stays reachable. */
ZB_API uint32_t zbBoxRetryUnlockUiJob(ZBSESSION* session,
                                      const char* password, uint32_t mode);
/* loginName: at least 256 bytes. */
ZB_API uint32_t zbBoxCreateFTPAccount(ZBSESSION* session,
                                      const char* password, char* loginName);
ZB_API uint32_t zbBoxDeleteFTPAccount(ZBSESSION* session,
                                      const char* password);
/* folderIdText and docIdText (UTF-8) are used in the restricted session,
 * the numbers otherwise. */
ZB_API uint32_t zbBoxDeleteDocument(ZBSESSION* session, uint32_t boxNo,
                                    const char* password, uint32_t folderNo,
                                    uint32_t docNo, const char* folderIdText,
                                    const char* docIdText);
ZB_API uint32_t zbBoxDeleteAllBox(ZBSESSION* session, const char* password);
ZB_API uint32_t zbBoxDirSerialClusterChange(ZBSESSION* session,
                                            uint32_t boxNo,
                                            const char* password,
                                            uint32_t folderNo, uint32_t docNo,
                                            uint32_t noc, uint32_t mod);
ZB_API uint32_t zbBoxUpdateLastBackupDates(ZBSESSION* session,
                                           const char* password,
                                           uint32_t lastBackupDate,
                                           uint32_t count,
                                           const uint32_t* boxNumbers);

/* ------------------------------------------------------------------------
 * Authentication, security settings and service status.
 * --------------------------------------------------------------------- */

/* The device's security settings (library) and the credentials to
 * authenticate with (application). */
typedef struct ZBSECURITY {
  uint32_t SecurityMode;          /* 1 or 2 */
  uint32_t AuthenticationEnable;  /* 0 or 1 */
  uint32_t AuthenticationMethod;  /* 0, 2, 3 or 4; 2 and above need Password */
  uint32_t PasswordEncoded;       /* application: Password is encoded */
  uint32_t HashAlgorithm;         /* 1, 2 or 3 */
  char AppText[512];              /* the application's own */
  char Password[512];
  char AuthenticationDomainName[1024];
} ZBSECURITY;

ZB_API uint32_t zbBoxGetSecuritySettings(ZBSESSION* session,
                                         ZBSECURITY* security);
/* 0 authorised (SessionId is then the new web session), 1244 refused. */
ZB_API uint32_t zbBoxAuthenticate(ZBSESSION* session, ZBSECURITY* security);
/* 0 service on, 1260 off for this application. */
ZB_API uint32_t zbBoxGetServiceStatus(ZBSESSION* session);

/* ------------------------------------------------------------------------
 * Backup and restore jobs.
 * --------------------------------------------------------------------- */

/* --- backup job --------------------------------------------------------- */

/* Values of BoxJobProgress.State. */
enum {
  BOXJOB_STATE_PACKING = 1,      /* packing a box, and at the end */
  BOXJOB_STATE_TRANSFERRING = 3, /* index step and box transfers */
  BOXJOB_STATE_PREPARING = 5     /* start and box property collection */
};

/* The progress record of a backup, restore or conversion. The caller owns
 * it; the job zeroes it at start and writes it without a lock, and sets the
 * progress event after each change. */
typedef struct BoxJobProgress {
  uint32_t Percent;          /* 0 to 100 */
  uint32_t DoneDocs;         /* documents transferred so far */
  uint32_t TotalDocs;        /* documents to transfer */
  char BoxName[512];         /* box being worked on */
  char FolderName[512];      /* folder being worked on, empty between */
  char DocName[512];         /* document being worked on */
  uint32_t State;            /* BOXJOB_STATE_ */
  uint32_t Dropped;          /* legacy conversions: 1 while the current
                                document is being removed */
  uint32_t DropReason;       /* legacy conversions: 1 colour, 2 wide paper,
                                4 copy compound, 0 none */
} BoxJobProgress;

#ifdef __cplusplus
static_assert(sizeof(BoxJobProgress) == 1560, "BoxJobProgress layout");
#endif

/* Backs up the chosen boxes into one archive, synchronously.
 *   workFolder      must exist; the job builds BOX beneath it and always
 *                   removes it again.
 *   archivePath     UTF-8; an existing file is replaced only once every box
 *                   was transferred.
 *   backupType      0 full, 1 incremental.
 *   cancelEvent     may be NULL; when set the job ends with 995.
 *   snmpSettings    may be NULL; only used to ask for the network name.
 *   securityMode    the caller's ZBSECURITY (its first field is used).
 *   transferLibrary "ftpshim.dll" or the folder holding it.
 *   cipherLibrary, hashLibrary  paths of the archive encryption libraries.
 * 0, or an error code (87, 1327, 995, 8, 1359, system, transfer and box
 * service codes). */
ZB_API uint32_t zbBoxBackup(ZBSESSION* session, const char* password,
                            const char* ftpUser, const char* workFolder,
                            const char* archivePath, uint32_t backupType,
                            uint32_t boxCount, const uint32_t* boxNumbers,
                            ZBEVENT cancelEvent, ZBEVENT progressEvent,
                            BoxJobProgress* progress, void* snmpSettings,
                            uint32_t* securityMode,
                            const char* transferLibrary,
                            const char* cipherLibrary,
                            const char* hashLibrary);

/* --- end of backup job ------------------------------------------------- */

/* --- restore job -------------------------------------------------------- */

/* Writes the chosen boxes of an archive back to the device, synchronously.
 *   archivePath     UTF-8.
 *   restoreMode     1 overwrite documents of the same name, 2 append them
 *                   under a numbered name.
 *   restoreTime     last-access time given to the restored documents
 *                   (seconds since 1970; the device's own clock wins when
 *                   it reports one).
 *   neededSpace     kilobytes the chosen boxes need; compared with the
 *                   device's free space before an append.
 *   securityMode    the caller's ZBSECURITY (its first field is used in the
 *                   restricted session).
 * Other arguments as for zbBoxBackup. 0, or an error code (39, 50, 257,
 * 1314, 8260, 87, 1327, 995, 8, 1359, system, transfer and box service
 * codes). */
ZB_API uint32_t zbBoxRestore(ZBSESSION* session, const char* password,
                             const char* ftpUser, const char* workFolder,
                             const char* archivePath, uint32_t boxCount,
                             const uint32_t* boxNumbers, uint32_t restoreMode,
                             int32_t restoreTime, ZBEVENT cancelEvent,
                             ZBEVENT progressEvent, BoxJobProgress* progress,
                             uint32_t neededSpace, uint32_t* securityMode,
                             const char* transferLibrary,
                             const char* cipherLibrary,
                             const char* hashLibrary);

/* --- end of restore job ------------------------------------------------ */

/* ------------------------------------------------------------------------
 * Archive information.
 * --------------------------------------------------------------------- */

/* Index kinds, as GetZipFileType returns them. */
enum {
  ZB_INDEX_NONE = 0,
  ZB_INDEX_BACKUP_XML = 1,   /* "Backup.XML" */
  ZB_INDEX_ARCHIVE_XML = 2,  /* "Archive.XML" of older archives */
  ZB_INDEX_BACKUP_XMLE = 3   /* "Backup.XMLe", encrypted */
};

/* What an archive's index says. Fields the index does not provide keep the
 * caller's values. */
typedef struct BackupIndexInfo {
  ZBSYSTEMTIME Date;         /* BackupDate or ArchiveDate */
  char Version[512];         /* EngineVersion, or Version of ARCHIVE.XML */
  char MACAddress[512];
  uint32_t IndexType;        /* 1 Backup.XML, 2 ARCHIVE.XML */
  uint32_t BackupType;       /* 0 full, 1 incremental */
  uint32_t Count;            /* boxes (Backup.XML) or NumOfDocs */
  char NetBiosName[512];
  uint32_t SecureMode;
} BackupIndexInfo;

/* One box of a "Backup.XML" index. */
typedef struct BackupIndexBox {
  uint32_t BoxNo;
  char BoxName[512];
  uint32_t Protected;        /* 1 when the index says "yes" */
  uint32_t NumOfFolders;
  uint32_t NumOfDocs;
  uint32_t BoxUsedDisk;
  ZBSYSTEMTIME LastBackupDate; /* zero unless the model reports it */
} BackupIndexBox;

#ifdef __cplusplus
static_assert(sizeof(BackupIndexInfo) == 1568, "BackupIndexInfo layout");
static_assert(sizeof(BackupIndexBox) == 548, "BackupIndexBox layout");
#endif

/* Reads an archive's index. For a "Backup.XML" index *boxList receives an
 * array of info->Count zero-filled records, to be freed with
 * zbBoxFreeIndexBoxes; otherwise it is left alone. The extracted index
 * never stays in workFolder. 0, or 1392, 2, 8, 13, 11, 1605, 1359. */
ZB_API uint32_t zbBoxGetXMLInfo(const char* archivePath,
                                const char* workFolder,
                                BackupIndexInfo* info,
                                BackupIndexBox** boxList,
                                const char* cipherLibrary,
                                const char* hashLibrary);
/* Frees a box list of zbBoxGetXMLInfo (NULL is fine). */
ZB_API void zbBoxFreeIndexBoxes(BackupIndexBox* boxList);
/* ZB_INDEX_ kind of the archive's index member. */
ZB_API uint32_t GetZipFileType(const char* archivePath);
/* Extracts the index member of the kind into folder under its bare name;
 * non-zero on success. */
ZB_API int zbBoxUnzipXml(const char* archivePath, const char* folder,
                         uint32_t type);

/* ------------------------------------------------------------------------
 * Legacy data conversion. Local files only; no device is contacted.
 * --------------------------------------------------------------------- */

/* --- legacy conversion -------------------------------------------------- */

/* Values of BoxJobProgress.State during the filtering conversions. */
enum {
  BOXJOB_STATE_CONVERTING = 2
};

/* Drop reasons (BoxJobProgress.DropReason) and summary bits. */
enum {
  ZB_DROP_COLOUR = 1,
  ZB_DROP_WIDE_PAPER = 2,
  ZB_DROP_COPY_COMPOUND = 4
};

/* *summary := the ZB_DROP_ bits of the checks the rule file of sourceModel
 * switches on for targetModel (0 when it names none). The rule file
 * "<sourceModel with '/' as '_'>.ini" is looked for in the program's
 * folder, the current folder and the PATH. 0, 87 (equal models), 50 (no
 * readable rule file), 1359. */
ZB_API uint32_t zbBoxGetConvertSummary(const char* sourceModel,
                                       const char* targetModel,
                                       uint32_t* summary);

/* Reads the index of a legacy archive ("Backup.XML" or "Archive.XML").
 * For a backup, *boxList receives info->Count records (without last backup
 * dates) in a block that *block receives; free it with zbBoxFreeBlock.
 * *count := info->Count. 0, 1392, 2, 8, 13, 11, 50 (retired version), 1605
 * (version after 1.x), 1359. */
ZB_API uint32_t zbzbBoxGetXMLInfo(const char* archivePath,
                                  const char* workFolder,
                                  BackupIndexInfo* info, uint32_t* count,
                                  BackupIndexBox** boxList, ZBBLOCK* block);

/* Rewrites a legacy backup (Backup.XML, DATABASE.tnb, DATA.zip) for
 * targetModel: documents the rules of sourceModel drop are removed, the box
 * counts corrected and the index states targetModel as its version. The
 * output is written under a temporary name beside outputArchive and
 * renamed at the end; a failure leaves an older file of that name alone.
 * Unpacked files stay inside a folder of the call below workFolder.
 * 0, 13 (not a legacy backup), 87, 50, 995, system and zip codes, 1359. */
ZB_API uint32_t zbBoxConvertBackupData(const char* sourceArchive,
                                       const char* outputArchive,
                                       const char* workFolder,
                                       const char* sourceModel,
                                       const char* targetModel,
                                       ZBEVENT cancelEvent,
                                       ZBEVENT progressEvent,
                                       BoxJobProgress* progress);
/* The same for a legacy document archive (Archive.XML, D000*.zip); 259
 * when every document would be dropped (no output then). */
ZB_API uint32_t zbBoxConvertArchiveData(const char* sourceArchive,
                                        const char* outputArchive,
                                        const char* workFolder,
                                        const char* sourceModel,
                                        const char* targetModel,
                                        ZBEVENT cancelEvent,
                                        ZBEVENT progressEvent,
                                        BoxJobProgress* progress);

/* Converts a backup archive for a device of targetModel, as the model
 * tables (ZELT_ConvertModels.ini beside the library) say: a classic-layout
 * archive document by document into the storage layout, a storage-layout
 * archive by relabelling. percent, doneCount and totalCount may be NULL;
 * the progress event is set after each step. Members are sealed with the
 * cipher and hash libraries unless the "NoEncryption" marker exists.
 * 0, 50 (version or target not in the tables), 87 (wide paper for a strict
 * target; source and output the same file), 1462 (SRA3 or 320x460mm for a
 * narrow target), 1392, 995, 126/127 (boxendian missing), 1359, and the
 * codes of zbBoxGetXMLInfo and of file operations. The last error is set
 * to the result. */
ZB_API uint32_t zbBoxConvert(const char* sourceArchive,
                             const char* outputArchive,
                             const char* hashLibrary, ZBEVENT cancelEvent,
                             ZBEVENT progressEvent, uint32_t* percent,
                             uint32_t* doneCount, uint32_t* totalCount,
                             const char* cipherLibrary,
                             const char* targetModel);

/* --- end of legacy conversion ------------------------------------------ */

#endif /* BOXLINK_H_ */

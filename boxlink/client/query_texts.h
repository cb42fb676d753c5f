// The query texts of the box, administrative and authentication CGIs.
//
// The device parses these texts by position and by exact field form
// ("BNO=007", "FID=F0000005", an empty "FID=" for a box's top level), so
// they are built in one place and tested as texts. Passwords arrive already
// resolved for the session's access mode; `restricted` is the restricted
// session (access mode 20), whose administrative queries carry no PWD.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace boxlink {

inline constexpr char kCgiEngineVersion[] = "/TarnBox/Admin/boxnwGetEngineVersion";
inline constexpr char kCgiBoxList[] = "/TarnBox/Admin/boxnwGetBoxList";
inline constexpr char kCgiBoxProperty[] = "/TarnBox/Admin/boxnwGetBoxProperty";
inline constexpr char kCgiFolderDocList[] = "/TarnBox/Admin/boxnwGetFolderDocList";
inline constexpr char kCgiBoxDiskSpace[] = "/TarnBox/Admin/boxnwGetBoxDiskSpace";
inline constexpr char kCgiExModeIn[] = "/TarnBox/Admin/boxnwBoxExModeIn";
inline constexpr char kCgiExModeOut[] = "/TarnBox/Admin/boxnwBoxExModeOut";
inline constexpr char kCgiCreateFtpAccount[] = "/TarnBox/Admin/boxnwCreateFTPAccount";
inline constexpr char kCgiDeleteFtpAccount[] = "/TarnBox/Admin/boxnwDeleteFTPAccount";
inline constexpr char kCgiDeleteAllBox[] = "/TarnBox/Admin/boxnwDeleteAllBox";
inline constexpr char kCgiDeleteDoc[] = "/TarnBox/Admin/boxnwDeleteDoc";
inline constexpr char kCgiClusterChange[] = "/TarnBox/Admin/boxnwDirSerialClusterChange";
inline constexpr char kCgiLastBackupDate[] = "/TarnBox/Admin/boxnwChangeLastBackupDate";
inline constexpr char kCgiSecuritySetting[] = "/TarnBox/boxnwGetSecuritySetting";
inline constexpr char kCgiAuthenticate[] = "/TarnBox/boxnwAuthenticate";
inline constexpr char kCgiServiceStatus[] = "/TarnBox/boxnwGetServiceStatus";

// Zero-padded decimal of at least `width` digits ("%0*lu").
std::string Padded(uint32_t value, int width);

// A text as the value of one query field: every ASCII character other
// than letters, digits and "-._~" becomes "%" and two upper-case hex
// digits, so that "&", "=", "#", "%", "+" or a space in a name or password
// cannot end the field, start another or be read as something else. The
// device's CGIs decode them. Bytes above 0x7F (UTF-16 units beyond ASCII)
// are left to the transport.
std::string QueryValue(std::string_view text);
std::u16string QueryValue(std::u16string_view text);

// Engine information: a null password sends an empty PWD.
std::string EngineInfoQuery(uint32_t sid, const char* password,
                            bool restricted);
std::string BoxListQuery(uint32_t sid);
std::string BoxPropertyQuery(uint32_t sid, uint32_t box,
                             std::string_view password);
// Normal session: folder 0 is the box's top level ("FID="). Restricted
// session: the folder id text, empty for the top level.
std::string FolderDocListQuery(uint32_t sid, uint32_t box,
                               std::string_view password, uint32_t folder,
                               bool restricted, std::string_view folder_id);
std::string DiskSpaceQuery(uint32_t sid, std::string_view password,
                           bool restricted);
// Exclusive mode in and out.
std::string UiJobQuery(uint32_t sid, std::string_view password, uint32_t mode,
                       bool restricted);
// FTP account create and delete, delete all boxes.
std::string SessionQuery(uint32_t sid, std::string_view password,
                         bool restricted);
std::string DeleteDocQuery(uint32_t sid, uint32_t box,
                           std::string_view password, uint32_t folder,
                           uint32_t doc);
// The restricted session's form, with the ids as texts.
std::u16string DeleteDocQueryWide(uint32_t sid, uint32_t box,
                                  std::u16string_view password,
                                  std::u16string_view folder_id,
                                  std::u16string_view doc_id);
std::string ClusterChangeQuery(uint32_t sid, uint32_t box,
                               std::string_view password, uint32_t folder,
                               uint32_t doc, uint32_t noc, uint32_t mod);
// The body; empty `boxes` is the caller's fault and not formatted here.
std::string LastBackupDatesBody(uint32_t sid, std::string_view password,
                                bool restricted, uint32_t last_backup_date,
                                std::span<const uint32_t> boxes);
// The authentication CGIs' queries. The password goes in exactly as the
// application gives it (an encoded form when it holds '&').
std::string AuthenticateQuery(std::string_view password, bool encoded);
std::string ServiceStatusQuery();

}  // namespace boxlink

// The transfer interface of the backup and restore engine: one abstract
// object through which box trees move between the device and the PC. The
// engine never talks to an FTP library directly.
//
// Paths are 8-bit texts: remote paths use "/", local paths too (the folder
// separator of this system). Operations that "raise" throw BoxError.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "boxlink.h"
#include "boxlink/base/settings_key.h"
#include "platform/event.h"
#include "standins/inet/ftp.h"

namespace boxlink {

// A directory entry in the layout of the system's find-data record; the
// second family's listings fill only the name.
using FtpFindData = inet::FtpFindData;
using FindDataList = std::vector<FtpFindData>;

// The registry values that tune a transfer object, read once at its
// construction from the per-user key of the library.
struct FtpTuning {
  uint32_t ftp_log = 0;      // "FtpLog": diagnostic detail
  uint32_t delay = 0;        // "Delay": ms before each transfer, cd, listing
  uint32_t performance = 0;  // "Performance": keep transfer statistics
  static FtpTuning FromRegistry();
};

// The status files of the shared and classic layouts: a folder being
// written holds "CREATE.STS", a complete one "UNLOCK.STS" in its place.
inline constexpr char kCreateStatusFile[] = "CREATE.STS";
inline constexpr char kUnlockStatusFile[] = "UNLOCK.STS";

// The command words of a controller family. The first family's are kept for
// completeness and never sent; the second family's go to the server as FTP
// commands.
struct FtpCommandWords {
  const char* list;
  const char* make_folder;
  const char* remove_folder;
  const char* change_folder;
  const char* del;
};
inline constexpr FtpCommandWords kOrielCommandWords = {"ls", "mkdir", "rmdir",
                                                       "cd", "delete"};
inline constexpr FtpCommandWords kBriskCommandWords = {"LIST", "MKD", "RMD",
                                                       "CWD", "DELE"};

class CBaseFtp {
 public:
  virtual ~CBaseFtp();                                                 // 0
  virtual void FtpOpenConnection(ZBSESSION* session, std::string_view user,
                                 std::string_view password) = 0;      // 1
  virtual void FtpCloseConnection() = 0;                              // 2
  virtual bool FtpCreateFolder(std::string_view remote) = 0;          // 3
  virtual bool FtpChangeDirectory(std::string_view remote) = 0;       // 4
  virtual bool FtpListDirectory(std::string_view remote, FindDataList* folders,
                                FindDataList* files) = 0;             // 5
  virtual bool FtpDeleteElement(std::string_view ignored1,
                                std::string_view ignored2,
                                uint32_t document) = 0;               // 6
  virtual bool FtpDeleteFile(std::string_view remote, bool is_folder) = 0;  // 7
  virtual bool FindBoxFolder(std::string_view root, uint32_t box,
                             std::string* name);                      // 8
  virtual bool FtpGetFile(std::string_view remote, std::string_view local) = 0;  // 9
  virtual bool FtpPutFile(std::string_view remote, std::string_view local) = 0;  // 10
  virtual uint32_t DownloadFolder(std::string_view local,
                                  std::string_view remote) = 0;       // 11
  virtual uint32_t UploadFolder(std::string_view local,
                                std::string_view remote) = 0;         // 12
  virtual uint32_t DownloadTree(std::string_view local,
                                std::string_view remote);             // 13
  virtual uint32_t UploadTree(std::string_view local,
                              std::string_view remote);               // 14
  virtual uint32_t FtpCreateFile(std::string_view remote) = 0;        // 15
  virtual uint32_t FtpReplaceStatusFile(std::string_view folder) = 0; // 16
  virtual void SetCancelEvent(platform::Event* event);                // 17
  virtual void TakeNextPair(std::string* local, std::string* remote); // 18
  virtual void QueuePair(std::string_view local, std::string_view remote);  // 19
  virtual void ClearQueue();                                          // 20
  virtual bool IsQueueEmpty();                                        // 21

  // How the two families differ inside the shared folder transfers.
  struct FolderPolicy {
    const char* download_label;     // a raised code
    const char* download_unknown;   // anything else
    const char* upload_label;
    const char* upload_unknown;
    const char* chdir_failure;      // logged; raised too when raise_chdir
    bool raise_chdir;
    const char* list_failure;       // logged (when set) before raising
    bool raise_local_list_failure;
  };

  // Set by the engine right after connecting, for storage-layout devices:
  // changes the local folder naming of DownloadFolder.
  void SetStorageLayout(uint32_t v) { storage_layout_ = v; }
  uint32_t storage_layout() const { return storage_layout_; }
  const FtpTuning& tuning() const { return tuning_; }
  uint32_t files_down() const { return files_down_; }
  uint32_t files_up() const { return files_up_; }
  double bytes_down() const { return bytes_down_; }
  double bytes_up() const { return bytes_up_; }


 protected:
  CBaseFtp();
  void SetCommandWords(const FtpCommandWords& words);
  // Raises 995 when the cancel event is set and signalled.
  void CheckCancelEvent();
  uint32_t DownloadFolderWith(const FolderPolicy& policy,
                              std::string_view local, std::string_view remote);
  uint32_t UploadFolderWith(const FolderPolicy& policy, std::string_view local,
                            std::string_view remote);
  // The statistics texts formed at destruction when "Performance" is set.
  std::string PerformanceText(bool download) const;

  uint32_t storage_layout_ = 0;
  platform::Event* cancel_event_ = nullptr;
  FtpTuning tuning_;
  char label_[20] = {};
  std::string list_command_, make_folder_command_, remove_folder_command_,
      change_folder_command_, delete_command_;
  float bytes_down_ = 0, bytes_up_ = 0;
  uint32_t files_down_ = 0, files_up_ = 0;
  // Pending (local -> remote) folders, in byte order of the local path.
  std::map<std::string, std::string> work_queue_;
  uint32_t start_tick_ = 0, end_tick_ = 0;
};

}  // namespace boxlink

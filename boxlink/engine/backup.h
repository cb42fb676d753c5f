// CBackup: the backup job behind zbBoxBackup. It downloads the chosen
// boxes into the work tree, writes the index and packs everything into the
// archive, which replaces an older file of that name only at the very end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "boxlink/engine/backup_xml.h"
#include "boxlink/engine/box_worker.h"
#include "boxlink/engine/zelt.h"

namespace boxlink {

// Not final: tests derive from it to act at the job's cancel check points.
class CBackup : public CZelt {
 public:
  CBackup() = default;
  ~CBackup() override = default;

  // Everything after Begin, in order; throws the job's error.
  void Run(uint32_t backup_type, const ZBSNMPSETTINGS* snmp,
           const uint32_t* security_mode, const char* cipher_library,
           const char* hash_library);

  void PrepareBoxes() override;
  // Also raises the failure of a box packed beside the job: in the job's
  // order that packing came first.
  void CheckCancel() override;

 private:
  void IndexHead(const ZBSNMPSETTINGS* snmp, const uint32_t* security_mode);
  void IndexStep();
  void TransferBox(size_t index);
  void FullPath(size_t index);
  void IncrementalPath(size_t index);
  void DownloadDocument(const std::string& local_doc, const std::string& remote_doc,
                        const std::string& remote_item_file,
                        const std::string& local_item_file,
                        const ZBCOLLECTIONITEM& item, const char* folder_name);
  void UpdateNamesShared(const std::string& local);
  void UpdateNamesStorage(const std::string& local, const std::string& remote);
  void TransferBoxes();
  void Pack();
  void UpdateLastBackupDates();

  uint32_t backup_type_ = 0;
  bool encryption_on_ = false;
  // A box whose transfer was skipped because the model checker could not
  // be had; the archive would lack it, so the job must not succeed.
  bool box_skipped_ = false;
  BackupXmlInfo index_;
  std::string index_path_;
  // Packs each box while the next one downloads; made once the cancel
  // event is known, and gone (its thread stopped) before the work tree.
  std::unique_ptr<BoxWorker> packer_;
  // Removes each packed box's folder beside the next packing: removing a
  // tree just written can keep the disk busy longer than packing it took.
  // Handed its tasks by the packing thread; the job waits for it once that
  // thread is done.
  std::unique_ptr<BoxWorker> remover_;
};

// The arguments of zbBoxBackup, in its order.
struct BackupCall {
  ZBSESSION* session;
  const char* password;
  const char* ftp_user;
  const char* work_folder;
  const char* archive_path;
  uint32_t backup_type;
  uint32_t box_count;
  const uint32_t* box_numbers;
  ZBEVENT cancel_event;
  ZBEVENT progress_event;
  BoxJobProgress* progress;
  void* snmp_settings;
  uint32_t* security_mode;
  const char* transfer_library;
  const char* cipher_library;
  const char* hash_library;
};

// The body of zbBoxBackup for a constructed job, so that a test can run its
// own CBackup: loads the transfer library, runs the job to its end and
// returns 0 or the error, logged and with a lost session marked (a thrown 0
// and anything unexpected become 1359). The caller destroys the job, which
// removes the work tree.
uint32_t RunBackup(CBackup& job, const BackupCall& call);

}  // namespace boxlink

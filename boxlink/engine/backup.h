// CBackup: the backup job behind zbBoxBackup. It downloads the chosen
// boxes into the work tree, writes the index and packs everything into the
// archive, which replaces an older file of that name only at the very end.
#pragma once

#include <cstdint>
#include <string>

#include "boxlink/engine/backup_xml.h"
#include "boxlink/engine/zelt.h"

namespace boxlink {

class CBackup final : public CZelt {
 public:
  CBackup() = default;
  ~CBackup() override = default;

  // Everything after Begin, in order; throws the job's error.
  void Run(uint32_t backup_type, const ZBSNMPSETTINGS* snmp,
           const uint32_t* security_mode, const char* cipher_library,
           const char* hash_library);

  void PrepareBoxes() override;

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
  void Pack();

  uint32_t backup_type_ = 0;
  bool encryption_on_ = false;
  BackupXmlInfo index_;
  std::string index_path_;
};

}  // namespace boxlink

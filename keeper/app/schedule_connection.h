// The main window's device connection as the automatic backup uses it:
// before each run the session is opened again with the credential the
// user gave when the schedule was set, without the password dialog, and
// between runs it stays closed.
//
// A run happens while nobody may be watching: a device that cannot be
// reached or a box list that cannot be read is not shown in a message box
// here (the run's result dialog and notification tell it), and the Backup
// page keeps the rows that hold the schedule's selection.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "keeper/app/auto_backup_host.h"

namespace keeper {

class MainWindowLogic;

class ScheduleConnection final : public AutoBackupConnection {
 public:
  // `storage_type` asks the device for its storage type (the text of a
  // disk-full error); it is asked at most once per connected device.
  ScheduleConnection(MainWindowLogic& logic,
                     std::function<std::optional<uint32_t>()> storage_type);

  bool connected() override;
  void MarkConnected(bool connected) override;
  uint32_t OpenSession() override;
  bool AuthenticateWithoutDialog() override;
  uint32_t ReadEngineInfo() override;
  void ReadBoxList() override;
  void ReopenAndRead() override;
  void CloseSession() override;
  uint32_t open_result() override;
  uint32_t service_status() override;
  uint32_t StorageType() override;
  std::string DeviceName() override;
  std::string DeviceAddress() override;

 private:
  MainWindowLogic& logic_;
  std::function<std::optional<uint32_t>()> ask_storage_type_;
  std::string storage_type_of_;  // the address the cached type belongs to
  uint32_t storage_type_ = 0;
};

}  // namespace keeper

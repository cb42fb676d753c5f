#include "keeper/app/schedule_connection.h"

#include "keeper/app/device_auth.h"
#include "keeper/app/main_window_logic.h"

namespace keeper {

ScheduleConnection::ScheduleConnection(
    MainWindowLogic& logic,
    std::function<std::optional<uint32_t>()> storage_type)
    : logic_(logic), ask_storage_type_(std::move(storage_type)) {}

bool ScheduleConnection::connected() { return logic_.link_.connected; }

void ScheduleConnection::MarkConnected(bool connected) {
  logic_.link_.connected = connected;
  if (!connected) logic_.link_.boxes.clear();
}

uint32_t ScheduleConnection::OpenSession() {
  logic_.OpenSession();
  return logic_.link_.open_result;
}

bool ScheduleConnection::AuthenticateWithoutDialog() {
  // The skip flag (schedule) is set: the sequence reuses the credential.
  return logic_.auth_.RunSequence(&logic_.link_.session) ==
         CDeviceAuth::SequenceEnd::kAuthenticated;
}

uint32_t ScheduleConnection::ReadEngineInfo() {
  logic_.ReadEngineInfo(/*show_failure=*/false);
  return logic_.link_.engine_result;
}

void ScheduleConnection::ReadBoxList() { logic_.ReadBoxList(); }

void ScheduleConnection::ReopenAndRead() { logic_.ReopenAndRead(false); }

void ScheduleConnection::CloseSession() { logic_.CloseSession(); }

uint32_t ScheduleConnection::open_result() { return logic_.link_.open_result; }

uint32_t ScheduleConnection::service_status() {
  return logic_.link_.service_status;
}

uint32_t ScheduleConnection::StorageType() {
  // Asked only of a device that answers, and once per device: a switched
  // off device would make every result wait for the SNMP time-out.
  const std::string& address = logic_.app_.device.address;
  if (storage_type_of_ == address) return storage_type_;
  if (!logic_.link_.connected || !ask_storage_type_) return 0;
  std::optional<uint32_t> type = ask_storage_type_();
  if (!type) return 0;
  storage_type_ = *type;
  storage_type_of_ = address;
  return storage_type_;
}

std::string ScheduleConnection::DeviceName() {
  return logic_.app_.device.name;
}

std::string ScheduleConnection::DeviceAddress() {
  return logic_.app_.device.address;
}

}  // namespace keeper

// The connection to one device through the box service library: session,
// SNMP settings, authentication, and the JobBackend that runs the library's
// job exports inside the job frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "boxlink.h"
#include "keeper/app/job_backend.h"

namespace platform {
class Library;
}

namespace keeper {

struct ConnectOptions {
  std::string address;
  uint32_t port = 8080;
  std::string password;        // the device's administrator password
  std::string community;       // SNMPv1/v2 community ("public" when empty)
  std::string v3_id_file;      // SNMPv3 ID file; wins over the community
};

struct BoxEntry {
  uint32_t number = 0;
  std::string name;           // UTF-8
  bool is_protected = false;
  ZBSYSTEMTIME last_backup{};
};

class DeviceLink {
 public:
  DeviceLink();
  ~DeviceLink();  // closes the session
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Opens the session; for a session that needs it, reads the security
  // settings, authenticates and checks the service status. 0 or the code.
  uint32_t Connect(const ConnectOptions& options);
  void Close();
  bool connected() const { return connected_; }

  uint32_t ListBoxes(std::vector<BoxEntry>* boxes);
  uint32_t EngineInfo(ZBENGINEINFO* info);
  bool StorageType(uint32_t* type);

  ZBSESSION& session() { return *session_; }
  ZBSNMPSETTINGS& snmp() { return *snmp_; }
  ZBSECURITY& security() { return *security_; }
  const std::string& address() const { return address_; }
  uint32_t open_result() const { return open_result_; }
  // The password in the form the administrative calls and jobs take.
  const std::string& password() const { return password_; }

 private:
  std::unique_ptr<ZBSESSION> session_;
  std::unique_ptr<ZBSNMPSETTINGS> snmp_;
  std::unique_ptr<ZBSECURITY> security_;
  std::string address_;
  std::string password_;
  uint32_t open_result_ = 0;
  bool connected_ = false;
};

// The mode-2 form of a credential (digest, Base64, decoration, Base64)
// built with the digest library at `library`; a step that cannot be done
// leaves the value of the step before, so a missing library gives the
// plain credential back.
std::string EncodeMode2(const std::string& credential,
                        const std::string& library);

// Reads an SNMPv3 ID file with the cipher library into the settings.
// False when the library or the file cannot be used.
bool ReadIdFile(const std::string& path, ZBSNMPSETTINGS* snmp);

// The session a job runs on, and the password in the form its calls take.
struct JobSession {
  ZBSESSION* session = nullptr;
  ZBSNMPSETTINGS* snmp = nullptr;
  ZBSECURITY* security = nullptr;
  std::string password;
};

// Runs the box service library's backup and restore exports. The two job
// exports are looked up when a job starts, so that a library without one of
// them is reported (127, "procedure not found") instead of failing to load.
class BoxlinkJobBackend final : public JobBackend {
 public:
  explicit BoxlinkJobBackend(DeviceLink& link);
  explicit BoxlinkJobBackend(JobSession session);
  ~BoxlinkJobBackend() override;

  // True when the library exports the job of that kind.
  static bool HasJob(JobKind kind);

  std::unique_ptr<JobEvent> OpenEvent(std::string_view name) override;
  uint32_t LockUiJob(uint32_t mode) override;
  uint32_t RetryUnlockUiJob(uint32_t mode) override;
  uint32_t CreateFtpAccount(std::string* login) override;
  uint32_t DeleteFtpAccount() override;
  uint32_t RunJob(const JobCall& call) override;
  JobProgress ReadProgress() override;
  void ClearPercent() override;

 private:
  JobSession s_;
  // One record per kind of job, as the desktop program keeps them.
  BoxJobProgress backup_progress_{};
  BoxJobProgress restore_progress_{};
  BoxJobProgress* current_ = &backup_progress_;
};

inline constexpr uint32_t kErrProcNotFound = 127;

// An export of the box service library looked up by name (null when this
// build of the library lacks it), for exports that arrive later than the
// program.
void* BoxlinkExport(const char* name);

}  // namespace keeper

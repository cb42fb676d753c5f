#include "keeper/app/device_link.h"

#include <cstring>

#include "standins/cryptocore/entry_points.h"
#include "platform/env.h"
#include "platform/library.h"
#include "platform/text.h"

namespace keeper {
namespace {

std::string LibraryPath(const char* file) {
  return platform::Env::Current()->ProgramDir() + "/" + file;
}

class BoxlinkEvent final : public JobEvent {
 public:
  explicit BoxlinkEvent(ZBEVENT e) : event_(e) {}
  ~BoxlinkEvent() override { zbBoxCloseEvent(event_); }
  void Set() override { zbBoxSetEvent(event_); }
  void Reset() override { zbBoxResetEvent(event_); }
  bool Wait(uint32_t ms) override {
    return zbBoxWaitEvent(event_, ms) == ZB_WAIT_OBJECT_0;
  }
  ZBEVENT handle() const { return event_; }

 private:
  ZBEVENT event_;
};

using BackupFn = decltype(&zbBoxBackup);
using RestoreFn = decltype(&zbBoxRestore);

void* JobSymbol(const char* name) { return BoxlinkExport(name); }

}  // namespace

void* BoxlinkExport(const char* name) {
  std::string error;
  static std::unique_ptr<platform::Library> lib =
      platform::Env::Current()->LoadLibrary("boxlink", &error);
  return lib ? lib->Symbol(name) : nullptr;
}

std::string EncodeMode2(const std::string& credential,
                        const std::string& library) {
  std::string error;
  auto lib = platform::Env::Current()->LoadLibrary(library, &error);
  if (!lib) return credential;
  auto sha = lib->Function<SHA256_entryFn>("SHA256_entry");
  auto b64 = lib->Function<Encode_BASE64Fn>("Encode_BASE64");
  auto decorate = lib->Function<Add_Prefix_SuffixFn>("Add_Prefix_Suffix");
  if (!sha) return credential;
  uint8_t digest[32] = {};
  sha(credential.data(), static_cast<uint32_t>(credential.size()), digest);
  std::string value(reinterpret_cast<const char*>(digest), sizeof digest);
  if (!b64) return value;
  const char* text = b64(digest, sizeof digest);
  if (!text) return value;
  value = text;
  if (!decorate) return value;
  char out[ZELT_DECORATED_MAX] = {};
  uint32_t length = 0;
  if (!decorate(value.c_str(), out, &length, 2) || length >= sizeof out)
    return value;
  value.assign(out, length);
  text = b64(reinterpret_cast<const uint8_t*>(out), length);
  return text ? std::string(text) : value;
}

bool ReadIdFile(const std::string& path, ZBSNMPSETTINGS* snmp) {
  std::string error;
  auto lib = platform::Env::Current()->LoadLibrary(LibraryPath("libcipherlib.so"),
                                                   &error);
  if (!lib) return false;
  auto fn = lib->Function<DecryptIDFileFn>("DecryptIDFile");
  if (!fn) return false;
  char context[ZELT_IDFILE_TEXT_MAX + 1] = {};
  char user[ZELT_IDFILE_TEXT_MAX + 1] = {};
  char auth[ZELT_IDFILE_TEXT_MAX + 1] = {};
  char priv[ZELT_IDFILE_TEXT_MAX + 1] = {};
  int auth_protocol = 0, priv_protocol = 0;
  snmp->AuthProtocol = 0;
  snmp->PrivProtocol = 0;
  if (!fn(path.c_str(), context, user, auth, priv, &auth_protocol,
          &priv_protocol))
    return false;
  platform::CopyBounded(snmp->Context, sizeof snmp->Context, context);
  platform::CopyBounded(snmp->UserName, sizeof snmp->UserName, user);
  platform::CopyBounded(snmp->AuthPassword, sizeof snmp->AuthPassword, auth);
  platform::CopyBounded(snmp->PrivPassword, sizeof snmp->PrivPassword, priv);
  snmp->AuthProtocol = static_cast<uint32_t>(auth_protocol);
  snmp->PrivProtocol = static_cast<uint32_t>(priv_protocol);
  return true;
}

DeviceLink::DeviceLink()
    : session_(std::make_unique<ZBSESSION>()),
      snmp_(std::make_unique<ZBSNMPSETTINGS>()),
      security_(std::make_unique<ZBSECURITY>()) {}

DeviceLink::~DeviceLink() { Close(); }

void DeviceLink::Close() {
  if (session_->ConnectHandle) zbBoxCloseConnection(session_.get());
  connected_ = false;
}

uint32_t DeviceLink::Connect(const ConnectOptions& options) {
  Close();
  *session_ = ZBSESSION{};
  *snmp_ = ZBSNMPSETTINGS{};
  *security_ = ZBSECURITY{};
  address_ = options.address;
  password_ = options.password;
  platform::CopyBounded(session_->Host, sizeof session_->Host, options.address);
  session_->Port = options.port;
  if (!options.v3_id_file.empty()) {
    if (!ReadIdFile(options.v3_id_file, snmp_.get())) return 2;  // not found
  } else {
    platform::CopyBounded(snmp_->Community, sizeof snmp_->Community,
                          options.community.empty() ? "public"
                                                    : options.community);
  }
  open_result_ = zbBoxOpenConnection(session_.get(), snmp_.get());
  if (open_result_ != 0 && open_result_ != 1) return open_result_;
  if (open_result_ == 1) {
    // The session starts restricted; authenticating gives the full one.
    if (uint32_t code = zbBoxGetSecuritySettings(session_.get(),
                                                 security_.get()))
      return code;
    platform::CopyBounded(security_->Password, sizeof security_->Password,
                          options.password);
    security_->PasswordEncoded = 0;
    if (uint32_t code = zbBoxAuthenticate(session_.get(), security_.get()))
      return code;
    if (uint32_t code = zbBoxGetServiceStatus(session_.get())) return code;
    // The administrative calls and the jobs of such a session take the
    // digest form.
    password_ = EncodeMode2(options.password, LibraryPath("libdigestlib.so"));
  }
  connected_ = true;
  return 0;
}

uint32_t DeviceLink::ListBoxes(std::vector<BoxEntry>* boxes) {
  boxes->clear();
  uint32_t count = 0;
  ZBBOX* list = nullptr;
  ZBBLOCK block = zbBoxGetBoxList(session_.get(), &count, &list);
  if (!block) {
    uint32_t code = zbBoxGetLastError();
    return code ? code : 1359;
  }
  for (uint32_t i = 0; i < count; ++i) {
    BoxEntry e;
    e.number = list[i].BoxNo;
    e.name.assign(list[i].BoxName,
                  strnlen(list[i].BoxName, sizeof list[i].BoxName));
    e.is_protected = list[i].Protected != 0;
    e.last_backup = list[i].LastBackupDate;
    boxes->push_back(std::move(e));
  }
  zbBoxFreeBlock(block);
  return 0;
}

uint32_t DeviceLink::EngineInfo(ZBENGINEINFO* info) {
  *info = ZBENGINEINFO{};
  return zbBoxGetEngineInfo(session_.get(), password_.c_str(), info);
}

bool DeviceLink::StorageType(uint32_t* type) {
  return zbBoxGetStorageType(session_->Host, snmp_.get(), type) == 0;
}

BoxlinkJobBackend::BoxlinkJobBackend(DeviceLink& link)
    : BoxlinkJobBackend(JobSession{&link.session(), &link.snmp(),
                                   &link.security(), link.password()}) {}

BoxlinkJobBackend::BoxlinkJobBackend(JobSession session)
    : s_(std::move(session)) {}
BoxlinkJobBackend::~BoxlinkJobBackend() = default;

bool BoxlinkJobBackend::HasJob(JobKind kind) {
  return JobSymbol(kind == JobKind::kBackup ? "zbBoxBackup" : "zbBoxRestore");
}

std::unique_ptr<JobEvent> BoxlinkJobBackend::OpenEvent(std::string_view name) {
  ZBEVENT e = zbBoxCreateEvent(0, 0, std::string(name).c_str());
  if (!e) return nullptr;
  return std::make_unique<BoxlinkEvent>(e);
}

uint32_t BoxlinkJobBackend::LockUiJob(uint32_t mode) {
  uint32_t device_time = 0;
  return zbBoxLockUiJob(s_.session, s_.password.c_str(), mode,
                        &device_time);
}

uint32_t BoxlinkJobBackend::RetryUnlockUiJob(uint32_t mode) {
  return zbBoxRetryUnlockUiJob(s_.session, s_.password.c_str(),
                               mode);
}

uint32_t BoxlinkJobBackend::CreateFtpAccount(std::string* login) {
  char name[512] = {};
  uint32_t code = zbBoxCreateFTPAccount(s_.session,
                                        s_.password.c_str(), name);
  if (code == 0) login->assign(name, strnlen(name, sizeof name));
  return code;
}

uint32_t BoxlinkJobBackend::DeleteFtpAccount() {
  return zbBoxDeleteFTPAccount(s_.session, s_.password.c_str());
}

uint32_t BoxlinkJobBackend::RunJob(const JobCall& call) {
  const std::string program = platform::Env::Current()->ProgramDir();
  const std::string cipher = LibraryPath("libcipherlib.so");
  const std::string hash = LibraryPath("libdigestlib.so");
  auto* cancel = static_cast<BoxlinkEvent*>(call.cancel);
  auto* status = static_cast<BoxlinkEvent*>(call.status);
  const std::string& pwd = s_.password;
  if (call.kind == JobKind::kBackup) {
    current_ = &backup_progress_;
    auto fn = reinterpret_cast<BackupFn>(JobSymbol("zbBoxBackup"));
    if (!fn) return kErrProcNotFound;
    return fn(s_.session, pwd.c_str(), call.ftp_user.c_str(),
              call.work_folder.c_str(), call.archive_path.c_str(),
              call.backup_type, static_cast<uint32_t>(call.boxes.size()),
              call.boxes.data(), cancel->handle(), status->handle(),
              &backup_progress_, s_.snmp, &s_.security->SecurityMode,
              program.c_str(), cipher.c_str(), hash.c_str());
  }
  current_ = &restore_progress_;
  auto fn = reinterpret_cast<RestoreFn>(JobSymbol("zbBoxRestore"));
  if (!fn) return kErrProcNotFound;
  return fn(s_.session, pwd.c_str(), call.ftp_user.c_str(),
            call.work_folder.c_str(), call.archive_path.c_str(),
            static_cast<uint32_t>(call.boxes.size()), call.boxes.data(),
            call.restore_mode, call.restore_time, cancel->handle(),
            status->handle(), &restore_progress_, call.total_size_kb,
            &s_.security->SecurityMode, program.c_str(), cipher.c_str(),
            hash.c_str());
}

JobProgress BoxlinkJobBackend::ReadProgress() {
  // The job writes the record without a lock; a copy may mix two updates,
  // which only shows for one turn.
  BoxJobProgress p;
  std::memcpy(&p, current_, sizeof p);
  JobProgress out;
  out.percent = p.Percent;
  out.done_docs = p.DoneDocs;
  out.total_docs = p.TotalDocs;
  out.state = p.State;
  out.box_name.assign(p.BoxName, strnlen(p.BoxName, sizeof p.BoxName));
  out.folder_name.assign(p.FolderName,
                         strnlen(p.FolderName, sizeof p.FolderName));
  out.doc_name.assign(p.DocName, strnlen(p.DocName, sizeof p.DocName));
  return out;
}

void BoxlinkJobBackend::ClearPercent() { current_->Percent = 0; }

}  // namespace keeper

#include "keeper/app/main_window_logic.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <tuple>

#include "desktop/format.h"
#include "desktop/language.h"
#include "keeper/app/br_error.h"
#include "keeper/app/discovered_devices.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/event.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace keeper {
namespace {

constexpr uint32_t kTextTitle = 19;
constexpr uint32_t kTextReady = 34;
constexpr uint32_t kTextDateInvalid = 57;
constexpr uint32_t kTextDeleteAllQuestion = 63;
constexpr uint32_t kTextErrorCaption = 88;
constexpr uint32_t kTextDeleteAllCaption = 89;
constexpr uint32_t kTextConnecting = 110;
constexpr uint32_t kTextDeleting = 111;
constexpr uint32_t kTextInternalError = 114;
constexpr uint32_t kTextNotReleased = 118;
constexpr uint32_t kTextDiscoveryOpen = 199;
constexpr uint32_t kTextNoDiscoveryLibrary = 209;
constexpr uint32_t kTextDefinitionFile = 212;
constexpr uint32_t kTextHelpFile = 10001;
constexpr uint32_t kTextDiscoveryLibrary = 10002;
constexpr uint32_t kTextHelpMissing = 13011;

constexpr uint32_t kErrOffline = 2250;

// Errors of the lock after which the device counts as gone.
bool IsLockNetworkError(uint32_t code) {
  switch (code) {
    case 12: case 50: case 58: case 1460: case 4319: case 12002: case 12004:
    case 12029:
      return true;
    default:
      return false;
  }
}

desktop::Message Error(desktop::UiText text) {
  return {std::move(text), desktop::UiText::Id(kTextErrorCaption),
          desktop::Icon::kError};
}

std::string CurrentFolder() {
  std::string buf(4096, '\0');
  if (!getcwd(buf.data(), buf.size())) return {};
  buf.resize(std::strlen(buf.c_str()));
  return buf;
}

}  // namespace

bool DateAllowsJobs(const platform::SystemTime& t) {
  if (t.year < 1970 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > 31)
    return false;
  return std::tuple(t.year, t.month, t.day) <=
         std::tuple<uint16_t, uint16_t, uint16_t>(2038, 1, 18);
}

MenuState MenuStateFor(Page page, bool connected, bool automatic_pending) {
  MenuState s;
  if (page == Page::kBackup) {
    s.backup_data = false;
    s.restore_data = true;
    s.automatic_backup = connected;
    s.initialize_storage = false;
  } else {
    s.backup_data = true;
    s.restore_data = false;
    s.automatic_backup = false;
    s.initialize_storage = connected;
  }
  if (automatic_pending) {
    s.edit_menu = s.view_menu = s.tools_menu = false;
    s.restore_data = false;
    s.automatic_backup = false;
  }
  return s;
}

MainWindowLogic::MainWindowLogic(MainWindowContext context)
    : ctx_(std::move(context)),
      settings_(ctx_.texts),
      auth_(DeviceAuthContext{ctx_.texts, ctx_.screen, ctx_.service, link_,
                              request_, app_, flags_, ctx_.prompt_library,
                              ctx_.program_dir, ctx_.language_path,
                              [this](std::string_view t) { Trace(t); }}) {
  request_.session = &link_.session;
  auth_.reopen_and_read = [this] { ReopenAndRead(false); };
  app_.language_id = ctx_.texts.LanguageId();
}

MainWindowLogic::~MainWindowLogic() = default;

void MainWindowLogic::Trace(std::string_view text) const {
  if (log_enabled_)
    std::fprintf(stderr, "[ZELT] %.*s\n", static_cast<int>(text.size()),
                 text.data());
}

bool MainWindowLogic::Open() {
  log_enabled_ = settings_.LogEnabled();
  if (!settings_.RegisterRunningInstance(ctx_.texts(kTextTitle))) {
    ctx_.screen.Show({desktop::UiText::Id(kTextInternalError),
                      desktop::UiText::Id(kTextErrorCaption),
                      desktop::Icon::kWarning});
    return false;
  }
  app_.device = {};
  std::optional<SelectedDevice> selected = settings_.ReadSelected();
  app_.start_folder = CurrentFolder();
  if (!selected) {
    // The first start: the device comes from a discovery.
    LaunchDiscovery(true);
    selected = settings_.ReadSelected();
    if (!selected) return false;
  }
  app_.device = *selected;
  ctx_.view.SetAddress(app_.device.address);

  ctx_.view.ShowConnecting(true);
  OpenSession();
  ctx_.view.ShowConnecting(false);
  Reaction r = React();
  if (r == Reaction::kAuthNotGiven && auth_.cancelled()) return false;

  ctx_.view.SetStatusText(desktop::UiText::Id(kTextReady));
  settings_.WriteRetryDefaults();
  return true;
}

void MainWindowLogic::BuildSnmpSettings(const std::string& version) {
  // Every field is cleared first: what an earlier device of the other SNMP
  // version left would make the library ask this one the wrong way.
  link_.snmp = ZBSNMPSETTINGS{};
  if (version == kSnmpV3Label) {
    if (std::optional<std::string> path = settings_.IdFilePath())
      ReadIdFile(*path, &link_.snmp);
    return;
  }
  platform::CopyBounded(link_.snmp.Community, sizeof link_.snmp.Community,
                        settings_.Community());
}

void MainWindowLogic::OpenSession() {
  ctx_.view.SetWaitCursor(true);
  if (link_.session_open) CloseSession();
  link_.session = ZBSESSION{};
  platform::CopyBounded(link_.session.Host, sizeof link_.session.Host,
                        app_.device.address);
  link_.session.Port = kDevicePort;
  link_.session.AppValue = kSessionTimeoutMs;  // the record's time-out
  link_.open_result = 0;
  link_.boxes.clear();
  // Every attempt starts unauthenticated; whether this device's security
  // settings were read is the attempt's own matter.
  flags_.authenticated = false;
  flags_.security_read = false;
  std::optional<std::string> version =
      settings_.ReadString("Last Selected SNMP Version");
  if (version) {
    BuildSnmpSettings(*version);
    link_.open_result = ctx_.service.OpenConnection(&link_.session, &link_.snmp);
    link_.session_open = true;
    flags_.network_error_shown = IsNetworkError(link_.open_result);
  }
  ctx_.view.SetWaitCursor(false);
}

void MainWindowLogic::CloseSession() {
  if (!link_.session_open) return;
  ctx_.service.CloseConnection(&link_.session);
  link_.session_open = false;
}

void MainWindowLogic::CloseConnection() {
  CloseSession();
  link_.boxes.clear();
  link_.connected = false;
}

void MainWindowLogic::ShowError(uint32_t code, desktop::Icon icon) {
  ctx_.screen.Show(
      {desktop::UiText::Of(cZBBoxBRError(code).Text(app_.device.address,
                                                    ctx_.texts)),
       desktop::UiText::Id(kTextErrorCaption), icon});
}

void MainWindowLogic::MarkDisconnected() {
  link_.connected = false;
  link_.boxes.clear();
  ctx_.view.EnterDisconnected();
}

MainWindowLogic::Reaction MainWindowLogic::React() {
  const uint32_t result = link_.open_result;
  if (result == 1) {
    using End = CDeviceAuth::SequenceEnd;
    End end = auth_.RunSequence(&link_.session);
    if (end == End::kAuthenticated) {
      ReadEngineInfo(true);
      return ReadBoxList() ? Reaction::kReady : Reaction::kFailed;
    }
    link_.connected = false;
    link_.boxes.clear();
    switch (end) {
      case End::kPromptCancelled:
      case End::kRefused:
        return Reaction::kAuthNotGiven;
      case End::kNoSecuritySettings:
        // Nothing else would tell the user why the device stays away.
        ShowError(auth_.security_error());
        return Reaction::kFailed;
      default:
        return Reaction::kFailed;  // shown where it happened
    }
  }
  if (result == 0 || result == kServiceOff) {
    if (flags_.AnySkip() && !app_.credential.empty()) {
      // The credential of the running session is reused.
      flags_.skip_refresh = false;
      flags_.skip_backup = false;
      ReopenAndRead(false);
      return link_.connected ? Reaction::kReady : Reaction::kFailed;
    }
    if (!auth_.RunDialog()) {
      link_.connected = false;
      link_.boxes.clear();
      return auth_.cancelled() ? Reaction::kAuthNotGiven : Reaction::kFailed;
    }
    return link_.connected ? Reaction::kReady : Reaction::kFailed;
  }
  link_.connected = false;
  if (IsNetworkError(result)) {
    ShowNotFound();
    return Reaction::kNetwork;
  }
  // 2250 (offline) and every other failure of the open say what happened.
  ShowError(result == kErrOffline ? kErrOffline : result);
  return Reaction::kFailed;
}

void MainWindowLogic::ReadEngineInfo(bool show_failure) {
  link_.engine = ZBENGINEINFO{};
  const std::string password = auth_.Mode2Password();
  link_.engine_result =
      ctx_.service.GetEngineInfo(&link_.session, password.c_str(), &link_.engine);
  if (link_.engine_result && show_failure) ShowError(link_.engine_result);
  link_.old_generation = IsOldGeneration(std::string_view(
      link_.engine.EngineVersion,
      strnlen(link_.engine.EngineVersion, sizeof link_.engine.EngineVersion)));
}

bool MainWindowLogic::ReadBoxList() {
  uint32_t code = ctx_.service.GetBoxList(&link_.session, &link_.boxes);
  if (code == 0) {
    link_.connected = true;
    return true;
  }
  if (!app_.automatic_mode) ShowError(code);
  CloseSession();
  link_.connected = false;
  link_.boxes.clear();
  return false;
}

void MainWindowLogic::ReopenAndRead(bool list_first) {
  if (list_first && link_.session_open &&
      ctx_.service.GetBoxList(&link_.session, &link_.boxes) == 0) {
    link_.connected = true;
    return;
  }
  CloseSession();
  flags_.network_error_shown = false;
  // Opening again belongs to the attempt under way (after a prompt, or
  // after a job): what it learnt about the security settings stays.
  const bool security_read = flags_.security_read;
  OpenSession();
  flags_.security_read = security_read;
  const uint32_t result = link_.open_result;
  if (result != 0 && result != 1) {
    if (app_.automatic_mode) {
      // A scheduled run: its result says what happened, and the pages keep
      // the rows that hold the schedule's selection.
      link_.connected = false;
      link_.boxes.clear();
      return;
    }
    if (IsNetworkError(result))
      ShowNotFound();
    else
      ShowError(result);
    MarkDisconnected();
    return;
  }
  ReadEngineInfo(false);
  ReadBoxList();
}

void MainWindowLogic::ShowNotFound() {
  if (ctx_.view.ShowDeviceNotFound() != NotFoundChoice::kDiscover) return;
  Remembered old = Remember();
  ctx_.view.ShowMainWindow(false);
  LaunchDiscovery(false);
  ctx_.view.ShowMainWindow(true);
  TakeStoredDevice(old);
}

void MainWindowLogic::OnRefresh() {
  ctx_.view.SetStatusText(desktop::UiText::Id(kTextConnecting));
  if (!link_.connected) {
    ctx_.view.ShowConnecting(true);
    CloseSession();
    OpenSession();
    ctx_.view.ShowConnecting(false);
    React();
  } else if (link_.open_result == 1) {
    ctx_.view.ShowConnecting(true);
    CloseSession();
    OpenSession();
    ctx_.view.ShowConnecting(false);
    if (link_.open_result == 1) {
      flags_.skip_refresh = true;
      auth_.RunSequence(&link_.session);
      if (flags_.authenticated) {
        ReadEngineInfo(true);
        ReadBoxList();
      } else {
        link_.connected = false;
        link_.boxes.clear();
      }
    } else {
      React();
    }
  } else {
    ReopenAndRead(false);
  }
  flags_.skip_refresh = false;
  ctx_.view.RefreshPages();
  UpdateMenuState();
  ctx_.view.SetStatusText(desktop::UiText::Id(kTextReady));
}

void MainWindowLogic::OnInitializeStorage() {
  desktop::Answer a = ctx_.screen.Ask(
      {desktop::UiText::Id(kTextDeleteAllQuestion),
       desktop::UiText::Id(kTextDeleteAllCaption), desktop::Icon::kQuestion},
      desktop::Buttons::kYesNo, desktop::Answer::kNo);
  if (a != desktop::Answer::kYes) return;
  ctx_.view.SetStatusText(desktop::UiText::Id(kTextDeleting));
  ctx_.view.SetWaitCursor(true);
  const std::string password = auth_.Mode2Password();
  uint32_t lock =
      ctx_.service.LockUiJob(&link_.session, password.c_str(), kLockForRestore);
  if (lock != 0) {
    ctx_.view.SetWaitCursor(false);
    ShowError(lock);
    if (IsLockNetworkError(lock)) {
      MarkDisconnected();
      UpdateMenuState();
    }
    ctx_.view.SetStatusText(desktop::UiText::Id(kTextReady));
    return;
  }
  link_.ui_locked = true;
  link_.ui_lock_mode = kLockForRestore;
  uint32_t deleted = ctx_.service.DeleteAllBox(
      &link_.session, auth_.PlainPassword().c_str());
  if (deleted != 0) ShowError(deleted);
  uint32_t unlock = ctx_.service.RetryUnlockUiJob(
      &link_.session, password.c_str(), kLockForRestore);
  link_.ui_locked = unlock != 0;
  if (unlock != 0) {
    // The device may stay locked for its panel: say so also after a
    // failed deletion.
    ctx_.screen.Show(
        {desktop::UiText::Of(ctx_.texts(kTextNotReleased) + "\n" +
                             ctx_.texts(kTextInternalError)),
         desktop::UiText::Id(kTextErrorCaption), desktop::Icon::kWarning});
  }
  ReadBoxList();
  ctx_.view.RefreshPages();
  UpdateMenuState();
  ctx_.view.SetWaitCursor(false);
  ctx_.view.SetStatusText(desktop::UiText::Id(kTextReady));
}

void MainWindowLogic::OnHelp() {
  std::string path = ctx_.program_dir + "/" + ctx_.texts(kTextHelpFile);
  // The pages in the program's language when there are such pages.
  const size_t slash = path.rfind('/');
  const std::string translated = path.substr(0, slash) + "/" +
                                 desktop::LanguageTagOf(std::to_string(ctx_.texts.LanguageId())) +
                                 path.substr(slash);
  if (ctx_.texts.LanguageId() != desktop::kLangEnglishUS &&
      access(translated.c_str(), R_OK) == 0)
    path = translated;
  if (access(path.c_str(), R_OK) != 0 || !ctx_.screen.OpenUrl("file://" + path))
    ctx_.screen.Show(Error(desktop::UiText::Of(desktop::FormatText(
        ctx_.texts(kTextHelpMissing), {path}))));
}

void MainWindowLogic::OnAbout() { ctx_.view.ShowAbout(); }

void MainWindowLogic::OnActionButton() {
  platform::SystemTime now = platform::LocalNow();
  if (!DateAllowsJobs(now)) {
    ctx_.screen.Show(Error(desktop::UiText::Id(kTextDateInvalid)));
    return;
  }
  ctx_.view.RunPageJob(ctx_.view.CurrentPage());
}

JobSession MainWindowLogic::SessionForJob() {
  return JobSession{&link_.session, &link_.snmp, &request_.security,
                    auth_.Mode2Password()};
}

void MainWindowLogic::OnRunLostDevice() {
  MarkDisconnected();
  UpdateMenuState();
}

void MainWindowLogic::ReadBoxListAfterRun() {
  if (!link_.session_open) return;
  ReopenAndRead(true);
  UpdateMenuState();
}

uint32_t MainWindowLogic::DeviceClock() {
  if (!link_.session_open) return 0;
  ZBENGINEINFO info{};
  const std::string password = auth_.Mode2Password();
  if (ctx_.service.GetEngineInfo(&link_.session, password.c_str(), &info))
    return 0;
  return info.CurrentTime;
}

void MainWindowLogic::SetScheduleAvailable(bool available) {
  schedule_available_ = available;
  UpdateMenuState();
}

void MainWindowLogic::SetAutomaticMode(bool on) {
  app_.automatic_mode = on;
  UpdateMenuState();
}

void MainWindowLogic::UpdateMenuState() {
  MenuState s = MenuStateFor(ctx_.view.CurrentPage(), link_.connected,
                             app_.automatic_mode);
  s.automatic_backup = s.automatic_backup && schedule_available_;
  ctx_.view.ApplyMenuState(s);
}

void MainWindowLogic::OnSessionEnd() {
  if (link_.ui_locked) {
    const std::string password = auth_.Mode2Password();
    if (ctx_.service.RetryUnlockUiJob(&link_.session, password.c_str(),
                                      link_.ui_lock_mode) == 0)
      link_.ui_locked = false;
  }
  CloseConnection();
  OnDestroy();
}

void MainWindowLogic::OnDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  settings_.RemoveRunningInstance();
  flags_.main_dialog_launched = false;
  auth_.ReportMainWindow(false);
}

MainWindowLogic::Remembered MainWindowLogic::Remember() const {
  return {app_.device, link_.connected, link_.credential_copy};
}

MainWindowLogic::DiscoveryRun MainWindowLogic::LaunchDiscovery(bool arm) {
  {
    bool existed = false;
    // Made and closed at once: it only tells whether a discovery is open.
    auto guard = platform::Event::CreateNamed(kDiscoveryGuardEvent, true,
                                              false, &existed);
    if (existed) {
      ctx_.screen.Show(Error(desktop::UiText::Id(kTextDiscoveryOpen)));
      return DiscoveryRun::kNotRun;
    }
  }
  std::optional<DiscoveryEntries> lib =
      ctx_.discovery_library.Load(ctx_.texts(kTextDiscoveryLibrary));
  if (!lib) {
    ctx_.screen.Show(Error(desktop::UiText::Id(kTextNoDiscoveryLibrary)));
    return DiscoveryRun::kNotRun;
  }
  if (!lib->do_network_discovery_ex) return DiscoveryRun::kNotRun;
  // Armed before the call: whatever the discovery stores wakes it.
  std::unique_ptr<platform::RegistryWatch> watch;
  if (arm)
    watch = platform::Env::Current()->registry().Watch(
        platform::RegRoot::kCurrentUser, settings_.base_key());
  const std::u16string definition = platform::Utf8ToUtf16(
      ctx_.program_dir + "/" + ctx_.texts(kTextDefinitionFile));
  lib->do_network_discovery_ex(definition.c_str());
  const bool stored = !watch || watch->Wait(0);
  lib.reset();
  return stored ? DiscoveryRun::kStored : DiscoveryRun::kNothingStored;
}

void MainWindowLogic::OnDeviceDiscovery() {
  Remembered old = Remember();
  ctx_.view.ShowMainWindow(false);
  DiscoveryRun run = LaunchDiscovery(true);
  ctx_.view.ShowMainWindow(true);
  if (run == DiscoveryRun::kNothingStored) return;
  TakeStoredDevice(old);
}

void MainWindowLogic::TakeStoredDevice(const Remembered& old) {
  std::optional<SelectedDevice> stored = settings_.ReadSelected();
  if (!stored || stored->address == old.device.address) return;
  app_.device = *stored;
  ctx_.view.SetAddress(app_.device.address);
  ConnectNewDevice(old);
}

void MainWindowLogic::ConnectNewDevice(const Remembered& old) {
  ctx_.view.ShowConnecting(true);
  CloseSession();
  OpenSession();
  ctx_.view.ShowConnecting(false);
  if (React() == Reaction::kAuthNotGiven) {
    // The password for the new device was not given: the old device comes
    // back, in memory and in the registry, and is connected again with
    // its credential.
    link_.connected = old.connected;
    link_.credential_copy = old.credential;
    app_.credential = old.credential;
    app_.device = old.device;
    settings_.WriteSelected(old.device);
    settings_.RewriteDiscoveredEntry(old.device);
    ctx_.view.SetAddress(app_.device.address);
    ctx_.view.ShowConnecting(true);
    CloseSession();
    OpenSession();
    ctx_.view.ShowConnecting(false);
    flags_.skip_refresh = !app_.credential.empty();
    React();
    flags_.skip_refresh = false;
  }
  ctx_.view.RefreshPages();
  UpdateMenuState();
}

void MainWindowLogic::OnSettings() {
  Remembered old = Remember();
  DiscoveredDeviceList list(settings_, ctx_.screen, app_.device);
  if (!ctx_.view.RunDiscoveredDeviceList(list) || !list.chosen()) return;
  app_.device = *list.chosen();
  if (app_.device.address == old.device.address) return;
  link_.auth_dialog_handle = 0;
  ctx_.view.SetAddress(app_.device.address);
  ConnectNewDevice(old);
}

}  // namespace keeper

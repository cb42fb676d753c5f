// CTARNBackupRestoreDlg's logic: opening the main window, connecting to
// the selected device and reacting to what the connection brings, the
// box list, Refresh, Initialize storage, the device discovery hand-off,
// the choice among devices discovered earlier, the device-not-found
// dialog, the menu state, Help, the action button's date check, and the
// end of the window and of the desktop session.
//
// Everything runs on the window thread; the password prompt, the
// discovery and the dialogs are modal.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "desktop/screen.h"
#include "desktop/texts.h"
#include "keeper/app/box_service.h"
#include "keeper/app/connection.h"
#include "keeper/app/device_auth.h"
#include "keeper/app/keeper_settings.h"
#include "keeper/app/main_view.h"
#include "keeper/app/outside_libraries.h"
#include "platform/calendar.h"

namespace keeper {

// The named event that marks an open discovery.
inline constexpr char kDiscoveryGuardEvent[] = "LaunchLD";

// The last date on which a job may start: the device's and the archive's
// clocks count seconds in 32 bits.
bool DateAllowsJobs(const platform::SystemTime& local_now);

// The menu rules: by the page shown, the connection and a pending
// automatic backup.
MenuState MenuStateFor(Page page, bool connected, bool automatic_pending);

struct MainWindowContext {
  const desktop::Texts& texts;
  desktop::Screen& screen;
  MainView& view;
  BoxService& service;
  AuthDialogLibrary& prompt_library;
  DiscoveryLibrary& discovery_library;
  std::string program_dir;
  std::string language_path;  // keeper's language library, full path
};

class ScheduleConnection;

class MainWindowLogic {
 public:
  explicit MainWindowLogic(MainWindowContext context);
  ~MainWindowLogic();
  MainWindowLogic(const MainWindowLogic&) = delete;
  MainWindowLogic& operator=(const MainWindowLogic&) = delete;

  // Opening the main window: the running-instance key, the selected
  // device (a discovery first when there is none), the connection. False
  // when the window must close at once and the program end.
  bool Open();

  // Commands.
  void OnRefresh();
  void OnDeviceDiscovery();
  void OnSettings();  // a device discovered earlier
  void OnInitializeStorage();
  void OnHelp();
  void OnAbout();
  void OnActionButton();
  // The page shown changed, or a system command came: the menu rules.
  void UpdateMenuState();

  // The desktop session ends: the device is released, the session
  // closed and the window's end steps run. Also on SIGTERM.
  void OnSessionEnd();
  // The main window goes: the running-instance key is removed and the
  // prompt library told. Runs once.
  void OnDestroy();
  // Closes the session if one was opened (the end of the program).
  void CloseConnection();

  // For the runs of the pages. The session, SNMP settings, security record
  // and password a job runs with.
  JobSession SessionForJob();
  // A backup starts on a restricted session: the reconnection after it
  // reuses the credential.
  void SetSkipBackup() { flags_.skip_backup = true; }
  // A run lost the device: the disconnected state, and the menus follow.
  void OnRunLostDevice();
  // After a restore: the box list read again (the open session first).
  void ReadBoxListAfterRun();
  // The device's clock (seconds since 1970), 0 when it cannot be read.
  uint32_t DeviceClock();

  // The automatic backup. The window offers its command once it can set
  // a schedule; while one is set the menus follow the pending rules, and
  // the connection does not show what a run meets (the run reports it).
  void SetScheduleAvailable(bool available);
  void SetAutomaticMode(bool on);
  // The schedule reconnects with the stored credential, without the
  // password dialog.
  void SetSkipSchedule(bool skip) { flags_.skip_schedule = skip; }

  const CDeviceLink& link() const { return link_; }
  const AppState& app() const { return app_; }
  const ProcessFlags& flags() const { return flags_; }
  const KeeperSettings& settings() const { return settings_; }
  CDeviceAuth& auth() { return auth_; }
  bool connected() const { return link_.connected; }
  bool log_enabled() const { return log_enabled_; }

  // What a connection attempt led to.
  enum class Reaction {
    kReady,         // the box list was read
    kAuthNotGiven,  // the prompt was cancelled or the password refused
    kNetwork,       // the device was not found (dialog shown)
    kFailed,        // any other failure (shown)
  };

 private:
  friend class ScheduleConnection;

  struct Remembered {
    SelectedDevice device;
    bool connected = false;
    std::string credential;
  };
  enum class DiscoveryRun { kNotRun, kNothingStored, kStored };

  // Connect, steps 1 and 2: the session record and zbBoxOpenConnection.
  void OpenSession();
  // Connect, step 3.
  Reaction React();
  void CloseSession();
  void BuildSnmpSettings(const std::string& version);
  void ReadEngineInfo(bool show_failure);
  bool ReadBoxList();
  // Re-open and read; with list_first the open session is tried first.
  void ReopenAndRead(bool list_first);
  void ShowError(uint32_t code, desktop::Icon icon = desktop::Icon::kError);
  void ShowNotFound();
  void MarkDisconnected();

  Remembered Remember() const;
  DiscoveryRun LaunchDiscovery(bool arm_notification);
  // Device discovery, steps 9 to 13: the stored device, when it is
  // another one, becomes the current one.
  void TakeStoredDevice(const Remembered& old);
  // Connects a newly chosen device; the old one comes back when the
  // password for the new one is not given.
  void ConnectNewDevice(const Remembered& old);
  void Trace(std::string_view text) const;

  MainWindowContext ctx_;
  KeeperSettings settings_;
  AppState app_;
  CDeviceLink link_;
  CAuthRequest request_;
  ProcessFlags flags_;
  CDeviceAuth auth_;
  bool log_enabled_ = false;
  bool destroyed_ = false;
  // Until the schedule dialog exists, Automatic Backup stays disabled.
  bool schedule_available_ = false;
};

}  // namespace keeper

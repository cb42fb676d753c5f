// What the main window's logic asks of the window: the parts of the main
// window it changes and the dialogs of device selection it runs. The Qt
// main window implements it; tests record the calls
// (keeper/app/testing/fake_main_view.h). Message boxes go through
// desktop::Screen.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "desktop/screen.h"
#include "keeper/app/keeper_settings.h"

namespace keeper {

enum class Page { kBackup, kRestore };

// Which menus and items are enabled.
struct MenuState {
  bool backup_data = true;
  bool restore_data = true;
  bool automatic_backup = false;
  bool initialize_storage = false;
  bool edit_menu = true;   // position 1
  bool view_menu = true;   // position 2
  bool tools_menu = true;  // position 3
  bool operator==(const MenuState&) const = default;
};

enum class NotFoundChoice { kOk, kDiscover };

class DiscoveredDeviceList;

class MainView {
 public:
  virtual ~MainView() = default;

  // The message part of the main status bar.
  virtual void SetStatusText(const desktop::UiText& text) = 0;
  // The connection part: icon 157 connected, 163 not.
  virtual void SetConnectionIcon(bool connected) = 0;
  // The second status bar: the selected device's address.
  virtual void SetAddress(const std::string& address) = 0;
  virtual void SetWaitCursor(bool on) = 0;
  // The modeless connection dialog ("Connecting...").
  virtual void ShowConnecting(bool shown) = 0;
  // Hidden while the device discovery is open; shown again and brought to
  // the front afterwards.
  virtual void ShowMainWindow(bool shown) = 0;
  // Both pages fill their lists again from the connection.
  virtual void RefreshPages() = 0;
  // Connection icon 163, action button disabled, both lists emptied, the
  // Backup page's settings disabled.
  virtual void EnterDisconnected() = 0;
  virtual void ApplyMenuState(const MenuState& state) = 0;
  virtual Page CurrentPage() const = 0;
  // The device-not-found dialog.
  virtual NotFoundChoice ShowDeviceNotFound() = 0;
  // The discovered-device list, modal; true when it ended with OK.
  virtual bool RunDiscoveredDeviceList(DiscoveredDeviceList& list) = 0;
  virtual void ShowAbout() = 0;
  // Starts the job of the page shown (after the common checks).
  virtual void RunPageJob(Page page) = 0;
  // Ends the main window, and with it the program.
  virtual void CloseWindow() = 0;
};

}  // namespace keeper

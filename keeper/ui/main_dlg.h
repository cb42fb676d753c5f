// CTARNBackupRestoreDlg: keeper's main window. Menus, the property sheet
// with the Backup and Restore pages, the action button, the status bars
// with the connection icon and the device's address. What it does on each
// command is decided by MainWindowLogic (keeper/app/main_window_logic.h);
// this class draws and forwards.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>

#include "desktop/language.h"
#include "desktop/qt/qt_screen.h"
#include "keeper/app/main_view.h"
#include "keeper/app/main_window_logic.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace keeper {

class CBackupPage;
class CMainAutoBackup;
class CConnectionDialog;
class CMainPageHost;
class CRestorePg;
class CTNPropertySheet;
class ZBStatusBar;

// Command identifiers of the menu and the action button.
enum Command : int {
  kCmdBackupData = 32771,
  kCmdRestoreData = 32772,
  kCmdAutomaticBackup = 32773,
  kCmdExit = 32774,
  kCmdSelectAll = 32775,
  kCmdRefresh = 32778,
  kCmdDeviceDiscovery = 32779,
  kCmdSettings = 32780,
  kCmdAbout = 32782,
  kCmdInitializeStorage = 32787,
  kCmdClearAll = 32791,
  kCmdHelp = 57670,
};

class CTARNBackupRestoreDlg : public QMainWindow, public MainView {
  Q_OBJECT

 public:
  struct Libraries {
    BoxService& service;
    AuthDialogLibrary& prompt;
    DiscoveryLibrary& discovery;
    std::string program_dir;
  };

  // `screen` null: message boxes are Qt's, over this window.
  CTARNBackupRestoreDlg(const desktop::LanguageLibrary& lang,
                        Libraries libraries, desktop::Screen* screen = nullptr,
                        QWidget* parent = nullptr);
  ~CTARNBackupRestoreDlg() override;

  // Opening the window: device, connection, pages. False when the program
  // must end without showing it.
  bool Open();
  // A second start asked for this window: it comes to the front, restored
  // to its last show state when minimized (or the dialog it shows does).
  void RaiseFromOutside();
  // The desktop session ends (or SIGTERM came): the device is released
  // and the session closed.
  void EndSession();

  MainWindowLogic& logic() { return *logic_; }
  // The pages run their jobs from the action button; false keeps the
  // button off whatever the page's rule says.
  void SetPageJobsAvailable(bool available);
  QAction* action(int command) const;
  QMenu* menu(int position) const;
  QPushButton* action_button() const { return action_button_; }
  CTNPropertySheet* sheet() const { return sheet_; }
  CMainPageHost* page_host() const { return page_host_.get(); }
  // The automatic backup: its command, the Stop button, its dialogs.
  CMainAutoBackup* auto_backup() const { return auto_backup_.get(); }
  CBackupPage* backup_page() const { return backup_; }
  CRestorePg* restore_page() const { return restore_; }
  QLabel* status_label() const { return status_; }
  QLabel* connection_icon() const { return icon_; }
  bool connection_icon_connected() const { return icon_connected_; }
  ZBStatusBar* address_bar() const { return address_bar_; }
  Qt::WindowStates last_show_state() const { return last_state_; }

  // MainView.
  void SetStatusText(const desktop::UiText& text) override;
  void SetConnectionIcon(bool connected) override;
  void SetAddress(const std::string& address) override;
  void SetWaitCursor(bool on) override;
  void ShowConnecting(bool shown) override;
  void ShowMainWindow(bool shown) override;
  void RefreshPages() override;
  void EnterDisconnected() override;
  void ApplyMenuState(const MenuState& state) override;
  Page CurrentPage() const override;
  NotFoundChoice ShowDeviceNotFound() override;
  bool RunDiscoveredDeviceList(DiscoveredDeviceList& list) override;
  void ShowAbout() override;
  void RunPageJob(Page page) override;
  void CloseWindow() override;

 signals:
  // The action button passed its checks on that page; the page's job
  // starts next.
  void pageJobRequested(keeper::Page page);
  // The window was closed (Exit, the close button): the program ends.
  void windowClosed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildMenus();
  QAction* AddCommand(QMenu* menu, int command, uint32_t text);
  void OnCommand(int command);
  void OnPageChanged();
  void UpdateActionButton();

  const desktop::LanguageLibrary& lang_;
  const std::string program_dir_;
  std::unique_ptr<desktop::QtScreen> own_screen_;
  desktop::Screen* screen_;
  std::unique_ptr<MainWindowLogic> logic_;
  std::unique_ptr<CMainPageHost> page_host_;
  // Uses the logic and the pages: it goes first.
  std::unique_ptr<CMainAutoBackup> auto_backup_;
  std::map<int, QAction*> actions_;
  std::vector<QMenu*> menus_;
  CTNPropertySheet* sheet_;
  CBackupPage* backup_;
  CRestorePg* restore_;
  QPushButton* action_button_;
  QLabel* status_;
  QLabel* icon_;
  bool icon_connected_ = false;
  ZBStatusBar* address_bar_;
  CConnectionDialog* connecting_ = nullptr;
  int wait_cursor_ = 0;
  bool about_open_ = false;
  bool first_show_ = true;
  bool ended_ = false;
  Qt::WindowStates last_state_ = Qt::WindowNoState;
  // The pages run their jobs themselves; the action button can be turned
  // off as a whole (SetPageJobsAvailable).
  bool page_jobs_available_ = true;
};

}  // namespace keeper

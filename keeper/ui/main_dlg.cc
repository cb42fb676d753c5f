#include "keeper/ui/main_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWindow>

#include "desktop/qt/pictures.h"
#include "keeper/ui/about_box.h"
#include "keeper/ui/device_dialogs.h"
#include "keeper/ui/main_auto_backup.h"
#include "keeper/ui/main_page_host.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/widgets.h"

namespace keeper {
namespace {

constexpr uint32_t kTextFileMenu = 1;
constexpr uint32_t kTextBackupData = 2;
constexpr uint32_t kTextRestoreData = 3;
constexpr uint32_t kTextAutomaticBackup = 4;
constexpr uint32_t kTextExit = 5;
constexpr uint32_t kTextEditMenu = 6;
constexpr uint32_t kTextSelectAll = 7;
constexpr uint32_t kTextClearAll = 8;
constexpr uint32_t kTextViewMenu = 9;
constexpr uint32_t kTextAbout = 10;
constexpr uint32_t kTextRefresh = 11;
constexpr uint32_t kTextToolsMenu = 12;
constexpr uint32_t kTextDeviceDiscovery = 13;
constexpr uint32_t kTextSettings = 14;
constexpr uint32_t kTextBackupPage = 17;
constexpr uint32_t kTextTitle = 19;
constexpr uint32_t kTextRestorePage = 20;
constexpr uint32_t kTextHelp = 24;
constexpr uint32_t kTextReady = 34;
constexpr uint32_t kTextInitializeStorage = 120;
constexpr uint32_t kTextAddress = 154;
constexpr uint32_t kTextRestore = 178;
constexpr uint32_t kTextConnected = 13013;
constexpr uint32_t kTextNotConnected = 13014;

constexpr uint32_t kPictureProgram = 128;
constexpr uint32_t kPictureConnected = 157;
constexpr uint32_t kPictureNotConnected = 163;

}  // namespace

CTARNBackupRestoreDlg::CTARNBackupRestoreDlg(
    const desktop::LanguageLibrary& lang, Libraries libraries,
    desktop::Screen* screen, QWidget* parent)
    : QMainWindow(parent), lang_(lang), program_dir_(libraries.program_dir) {
  setObjectName("CTARNBackupRestoreDlg");
  if (!screen) {
    own_screen_ = std::make_unique<desktop::QtScreen>(lang, this);
    screen = own_screen_.get();
  }
  screen_ = screen;
  setWindowTitle(QText(lang, kTextTitle));
  setWindowIcon(QIcon(desktop::PictureOf(lang, kPictureProgram)));

  // The property sheet with its two pages, the action button under it.
  sheet_ = new CTNPropertySheet;
  backup_ = new CBackupPage(lang);
  restore_ = new CRestorePg(lang);
  sheet_->addTab(backup_, QText(lang, kTextBackupPage));
  sheet_->addTab(restore_, QText(lang, kTextRestorePage));
  action_button_ = new QPushButton(QText(lang, kTextBackUp));
  action_button_->setObjectName("actionButton");
  action_button_->setDefault(true);
  action_button_->setMinimumWidth(120);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(action_button_);

  // The main status bar (message, connection) and under it the device's
  // address.
  auto* status_bar = new QStatusBar;
  status_bar->setObjectName("mainStatusBar");
  status_bar->setSizeGripEnabled(false);
  status_ = new QLabel(QText(lang, kTextReady));
  status_->setObjectName("message");
  icon_ = new QLabel;
  icon_->setObjectName("connection");
  status_bar->addWidget(status_, 1);
  status_bar->addPermanentWidget(icon_);
  address_bar_ = new ZBStatusBar;

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* body = new QVBoxLayout;
  body->setContentsMargins(9, 9, 9, 9);
  body->setSpacing(9);
  body->addWidget(sheet_, 1);
  body->addLayout(buttons);
  layout->addLayout(body, 1);
  auto* rule = new QFrame;
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  layout->addWidget(rule);
  layout->addWidget(status_bar);
  layout->addWidget(address_bar_);
  setCentralWidget(central);
  SetConnectionIcon(false);

  BuildMenus();

  logic_ = std::make_unique<MainWindowLogic>(MainWindowContext{
      lang, *screen_, *this, libraries.service, libraries.prompt,
      libraries.discovery, libraries.program_dir, lang.path()});
  page_host_ = std::make_unique<CMainPageHost>(lang, *screen_, *this);
  backup_->Attach(*screen_, *page_host_);
  restore_->Attach(*screen_, *page_host_);
  auto_backup_ = std::make_unique<CMainAutoBackup>(lang, *screen_, *this);
  logic_->SetScheduleAvailable(true);

  connect(sheet_, &QTabWidget::currentChanged, this,
          &CTARNBackupRestoreDlg::OnPageChanged);
  connect(backup_, &CBackupPage::selectionChanged, this,
          &CTARNBackupRestoreDlg::UpdateActionButton);
  connect(restore_, &CRestorePg::selectionChanged, this,
          &CTARNBackupRestoreDlg::UpdateActionButton);
  connect(action_button_, &QPushButton::clicked, this,
          [this] { logic_->OnActionButton(); });
  resize(640, 480);
}

CTARNBackupRestoreDlg::~CTARNBackupRestoreDlg() {
  while (wait_cursor_ > 0) SetWaitCursor(false);
  if (logic_) logic_->OnDestroy();
}

QAction* CTARNBackupRestoreDlg::AddCommand(QMenu* menu, int command,
                                           uint32_t text) {
  auto* a = menu->addAction(QText(lang_, text));
  a->setObjectName(QString("cmd%1").arg(command));
  connect(a, &QAction::triggered, this, [this, command] { OnCommand(command); });
  actions_[command] = a;
  return a;
}

void CTARNBackupRestoreDlg::BuildMenus() {
  QMenuBar* bar = menuBar();
  auto add_menu = [&](uint32_t title) {
    QMenu* m = bar->addMenu(QText(lang_, title));
    menus_.push_back(m);
    return m;
  };
  QMenu* file = add_menu(kTextFileMenu);
  AddCommand(file, kCmdBackupData, kTextBackupData);
  AddCommand(file, kCmdRestoreData, kTextRestoreData);
  AddCommand(file, kCmdAutomaticBackup, kTextAutomaticBackup);
  file->addSeparator();
  AddCommand(file, kCmdExit, kTextExit);
  QMenu* edit = add_menu(kTextEditMenu);
  AddCommand(edit, kCmdSelectAll, kTextSelectAll);
  AddCommand(edit, kCmdClearAll, kTextClearAll);
  QMenu* view = add_menu(kTextViewMenu);
  // F5 and F1 act only while this window is the active one.
  AddCommand(view, kCmdRefresh, kTextRefresh)->setShortcut(Qt::Key_F5);
  QMenu* tools = add_menu(kTextToolsMenu);
  AddCommand(tools, kCmdDeviceDiscovery, kTextDeviceDiscovery);
  AddCommand(tools, kCmdSettings, kTextSettings);
  tools->addSeparator();
  AddCommand(tools, kCmdInitializeStorage, kTextInitializeStorage);
  QMenu* help = add_menu(kTextHelp);
  AddCommand(help, kCmdHelp, kTextHelp)->setShortcut(Qt::Key_F1);
  help->addSeparator();
  AddCommand(help, kCmdAbout, kTextAbout);
  for (auto& [id, a] : actions_) a->setShortcutContext(Qt::WindowShortcut);
  // Enabled by the menu rules once connected.
  actions_[kCmdAutomaticBackup]->setEnabled(false);
}

QAction* CTARNBackupRestoreDlg::action(int command) const {
  auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* CTARNBackupRestoreDlg::menu(int position) const {
  return position >= 0 && position < static_cast<int>(menus_.size())
             ? menus_[position]
             : nullptr;
}

void CTARNBackupRestoreDlg::OnCommand(int command) {
  switch (command) {
    case kCmdBackupData: sheet_->setCurrentWidget(backup_); break;
    case kCmdRestoreData: sheet_->setCurrentWidget(restore_); break;
    case kCmdAutomaticBackup: auto_backup_->OnCommand(); break;
    case kCmdExit: close(); break;
    case kCmdSelectAll:
    case kCmdClearAll: {
      const bool check = command == kCmdSelectAll;
      if (CurrentPage() == Page::kBackup)
        backup_->SetAllChecked(check);
      else
        restore_->SetAllChecked(check);
      break;
    }
    case kCmdRefresh: logic_->OnRefresh(); break;
    case kCmdDeviceDiscovery: logic_->OnDeviceDiscovery(); break;
    case kCmdSettings: logic_->OnSettings(); break;
    case kCmdInitializeStorage: logic_->OnInitializeStorage(); break;
    case kCmdHelp: logic_->OnHelp(); break;
    case kCmdAbout: logic_->OnAbout(); break;
    default: break;
  }
}

bool CTARNBackupRestoreDlg::Open() {
  if (!logic_->Open()) return false;
  RefreshPages();
  logic_->UpdateMenuState();
  return true;
}

void CTARNBackupRestoreDlg::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (first_show_) {
    first_show_ = false;
    // Never smaller than it opened.
    setMinimumSize(size());
    sheet_->setCurrentWidget(backup_);
  }
}

void CTARNBackupRestoreDlg::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) {
    Qt::WindowStates s = windowState();
    if (!(s & Qt::WindowMinimized))
      last_state_ = s & Qt::WindowMaximized ? Qt::WindowMaximized
                                            : Qt::WindowNoState;
    // A system command: the menu rules apply again.
    logic_->UpdateMenuState();
  }
}

void CTARNBackupRestoreDlg::closeEvent(QCloseEvent* event) {
  // A schedule is set: the user is asked first, and it ends with the
  // program.
  if (auto_backup_ && !auto_backup_->OnExit()) {
    event->ignore();
    return;
  }
  logic_->OnDestroy();
  event->accept();
  emit windowClosed();
}

void CTARNBackupRestoreDlg::RaiseFromOutside() {
  if (windowState() & Qt::WindowMinimized)
    setWindowState((windowState() & ~Qt::WindowMinimized) | last_state_);
  if (isHidden() && !first_show_) show();
  QWidget* front = QApplication::activeModalWidget();
  if (!front || !front->isVisible()) front = this;
  front->raise();
  front->activateWindow();
  if (QWindow* w = front->windowHandle()) w->requestActivate();
}

void CTARNBackupRestoreDlg::EndSession() {
  if (ended_) return;
  ended_ = true;
  logic_->OnSessionEnd();
}

void CTARNBackupRestoreDlg::SetStatusText(const desktop::UiText& text) {
  status_->setText(QText(text.Resolve(lang_)));
  status_->repaint();
}

void CTARNBackupRestoreDlg::SetConnectionIcon(bool connected) {
  icon_connected_ = connected;
  icon_->setPixmap(desktop::PictureOf(
      lang_, connected ? kPictureConnected : kPictureNotConnected));
  icon_->setToolTip(
      QText(lang_, connected ? kTextConnected : kTextNotConnected));
}

void CTARNBackupRestoreDlg::SetAddress(const std::string& address) {
  address_bar_->SetAddress(QText(lang_, kTextAddress) + " " + QText(address));
}

void CTARNBackupRestoreDlg::SetWaitCursor(bool on) {
  if (on) {
    if (wait_cursor_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (wait_cursor_ > 0) {
    if (--wait_cursor_ == 0) QApplication::restoreOverrideCursor();
  }
}

void CTARNBackupRestoreDlg::ShowConnecting(bool shown) {
  if (shown) {
    if (!connecting_) connecting_ = new CConnectionDialog(lang_, this);
    connecting_->Open();
  } else if (connecting_) {
    connecting_->hide();
    connecting_->deleteLater();
    connecting_ = nullptr;
  }
}

void CTARNBackupRestoreDlg::ShowMainWindow(bool shown) {
  if (!shown) {
    hide();
    return;
  }
  if (first_show_) return;  // still opening: it shows when it is ready
  show();
  raise();
  activateWindow();
}

void CTARNBackupRestoreDlg::RefreshPages() {
  const CDeviceLink& link = logic_->link();
  SetConnectionIcon(link.connected);
  SetAddress(logic_->app().device.address);
  backup_->OnRefresh();
  restore_->Clear();
  UpdateActionButton();
}

void CTARNBackupRestoreDlg::EnterDisconnected() {
  SetConnectionIcon(false);
  backup_->Clear();
  restore_->box_list()->clear();
  action_button_->setEnabled(false);
}

void CTARNBackupRestoreDlg::ApplyMenuState(const MenuState& s) {
  // A menu disabled as a whole takes its items' shortcuts (F5) along.
  const bool whole[] = {true, s.edit_menu, s.view_menu, s.tools_menu, true};
  for (int position = 1; position <= 3; ++position) {
    menus_[position]->setEnabled(whole[position]);
    for (QAction* a : menus_[position]->actions())
      a->setEnabled(whole[position]);
  }
  actions_[kCmdBackupData]->setEnabled(s.backup_data);
  actions_[kCmdRestoreData]->setEnabled(s.restore_data);
  actions_[kCmdAutomaticBackup]->setEnabled(s.automatic_backup);
  actions_[kCmdInitializeStorage]->setEnabled(s.tools_menu &&
                                              s.initialize_storage);
}

Page CTARNBackupRestoreDlg::CurrentPage() const {
  return sheet_->currentWidget() == restore_ ? Page::kRestore : Page::kBackup;
}

NotFoundChoice CTARNBackupRestoreDlg::ShowDeviceNotFound() {
  CErrorDiscovery dialog(lang_, logic_->app().device.address,
                         isVisible() ? this : nullptr);
  return dialog.exec() == CErrorDiscovery::kDiscover ? NotFoundChoice::kDiscover
                                                      : NotFoundChoice::kOk;
}

bool CTARNBackupRestoreDlg::RunDiscoveredDeviceList(DiscoveredDeviceList& list) {
  CDiscoveredDeviceDlg dialog(lang_, list, this);
  return dialog.exec() == QDialog::Accepted;
}

void CTARNBackupRestoreDlg::ShowAbout() {
  if (about_open_) return;  // a second request while it is open
  about_open_ = true;
  CAboutBox about(lang_, program_dir_, this);
  about.exec();
  about_open_ = false;
}

void CTARNBackupRestoreDlg::RunPageJob(Page page) {
  emit pageJobRequested(page);
  if (page == Page::kBackup)
    backup_->OnStart();
  else
    restore_->OnStart();
  UpdateActionButton();
}

void CTARNBackupRestoreDlg::CloseWindow() { close(); }

void CTARNBackupRestoreDlg::OnPageChanged() {
  const bool backup = CurrentPage() == Page::kBackup;
  action_button_->setText(QText(lang_, backup ? kTextBackUp : kTextRestore));
  if (backup)
    backup_->OnSetActive();
  else
    restore_->OnSetActive();
  logic_->UpdateMenuState();
  UpdateActionButton();
}

void CTARNBackupRestoreDlg::UpdateActionButton() {
  // While a schedule is set the button is its Stop, and the schedule
  // decides when it can be pressed.
  if (logic_ && logic_->app().automatic_mode) return;
  const bool connected = logic_ && logic_->connected();
  bool allowed = connected && (CurrentPage() == Page::kBackup
                                   ? backup_->ActionAllowed()
                                   : restore_->ActionAllowed());
  action_button_->setEnabled(allowed && page_jobs_available_);
}

void CTARNBackupRestoreDlg::SetPageJobsAvailable(bool available) {
  page_jobs_available_ = available;
  UpdateActionButton();
}

}  // namespace keeper

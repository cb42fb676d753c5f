#include "keeper/ui/keeper_app.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "desktop/language.h"
#include "desktop/qt/qt_screen.h"
#include "keeper/app/box_service.h"
#include "keeper/app/outside_libraries.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/responsive_box_service.h"
#include "keeper/ui/single_instance.h"
#include "platform/env.h"

namespace keeper {
namespace {

constexpr uint32_t kTextErrorCaption = 88;
constexpr uint32_t kTextInternalError = 114;
constexpr uint32_t kTextInstanceName = 10011;

// SIGTERM and SIGINT reach the window thread through a pipe.
int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_signal_pipe[1], &byte, 1);
}

}  // namespace

CTARNBackupRestoreApp::CTARNBackupRestoreApp() = default;

CTARNBackupRestoreApp::~CTARNBackupRestoreApp() {
  window_.reset();
  if (g_signal_pipe[0] >= 0) {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    close(g_signal_pipe[0]);
    close(g_signal_pipe[1]);
    g_signal_pipe[0] = g_signal_pipe[1] = -1;
  }
}

int CTARNBackupRestoreApp::Run() {
  std::string error;
  lang_ = desktop::LanguageLibrary::Load("keeperlang", "", &error);
  if (!lang_) {
    // Nothing else can be said without the texts.
    std::fprintf(stderr, "keeper: %s\n", error.c_str());
    QMessageBox box(QMessageBox::Critical, kNoLanguageCaption,
                    kNoLanguageText, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return 1;
  }

  instance_ = std::make_unique<SingleInstance>(
      QText(*lang_, kTextInstanceName));
  SingleInstance::Start start = instance_->Acquire();
  if (start == SingleInstance::Start::kOtherRaised ||
      start == SingleInstance::Start::kOtherBusy)
    return 0;  // the running keeper is the one to use
  desktop::QtScreen screen(*lang_);
  // Without a way for later starts to find this one (no private folder,
  // no socket) the program would not be single any more.
  if (start != SingleInstance::Start::kFirst || !instance_->Listen()) {
    screen.Show({desktop::UiText::Id(kTextInternalError),
                 desktop::UiText::Id(kTextErrorCaption),
                 desktop::Icon::kWarning});
    return 1;
  }

  boxlink_ = MakeBoxlinkService();
  service_ = std::make_unique<ResponsiveBoxService>(*boxlink_);
  prompt_ = MakeAuthDialogLibrary();
  discovery_ = MakeDiscoveryLibrary();
  window_ = std::make_unique<CTARNBackupRestoreDlg>(
      *lang_,
      CTARNBackupRestoreDlg::Libraries{*service_, *prompt_, *discovery_,
                                       platform::Env::Current()->ProgramDir()});

  // While the device discovery is open the main window is hidden: its
  // closing must not end the program, only the main window's does.
  QApplication::setQuitOnLastWindowClosed(false);
  connect(window_.get(), &CTARNBackupRestoreDlg::windowClosed, qApp,
          &QCoreApplication::quit, Qt::QueuedConnection);
  connect(instance_.get(), &SingleInstance::raiseRequested, window_.get(),
          &CTARNBackupRestoreDlg::RaiseFromOutside);
  connect(qApp, &QGuiApplication::commitDataRequest, this,
          [this](QSessionManager&) { EndSession(); });
  if (pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    auto* notifier =
        new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this,
            &CTARNBackupRestoreApp::OnTerminationSignal);
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);
  }

  if (!window_->Open()) {
    window_->logic().CloseConnection();
    window_->logic().OnDestroy();
    return 0;
  }
  window_->show();
  main_loop_running_ = true;
  int rc = QApplication::exec();
  main_loop_running_ = false;
  window_->logic().CloseConnection();
  window_.reset();
  return rc;
}

// The device is released and the session closed before the desktop goes;
// a device call under way finishes first.
void CTARNBackupRestoreApp::EndSession() {
  if (!window_) return;
  if (service_->busy()) {
    QTimer::singleShot(50, this, [this] { EndSession(); });
    return;
  }
  window_->EndSession();
}

void CTARNBackupRestoreApp::OnTerminationSignal() {
  char buf[16];
  while (read(g_signal_pipe[0], buf, sizeof buf) > 0) {
  }
  Terminate();
}

void CTARNBackupRestoreApp::Terminate() {
  if (window_ && service_->busy()) {
    QTimer::singleShot(50, this, [this] { Terminate(); });
    return;
  }
  EndSession();
  if (!main_loop_running_) {
    // Still opening (a prompt or a dialog of the start is up): there is no
    // loop to leave yet. The device is released and the session closed;
    // nothing else is left to save.
    std::fflush(nullptr);
    std::_Exit(0);
  }
  if (window_) window_->close();
  QApplication::quit();
}

}  // namespace keeper

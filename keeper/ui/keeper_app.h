// CTARNBackupRestoreApp: keeper's start and end. It loads the language
// library, makes sure one keeper runs per user, opens the main window and
// runs it until the user leaves, and ends the device session whatever the
// way out (the window closed, the desktop session ending, SIGTERM).
#pragma once

#include <QObject>
#include <memory>
#include <string>

namespace desktop {
class LanguageLibrary;
}

namespace keeper {

class BoxService;
class CTARNBackupRestoreDlg;
class ResponsiveBoxService;
class SingleInstance;
class AuthDialogLibrary;
class DiscoveryLibrary;

// The texts shown when the language library itself is missing.
inline constexpr char kNoLanguageText[] = "Loading Language dll is failed.";
inline constexpr char kNoLanguageCaption[] = "Backup Restore";

class CTARNBackupRestoreApp : public QObject {
  Q_OBJECT

 public:
  CTARNBackupRestoreApp();
  ~CTARNBackupRestoreApp() override;

  // Runs the program inside the QApplication that exists; the exit code.
  int Run();

 private:
  void EndSession();
  void OnTerminationSignal();
  void Terminate();

  std::unique_ptr<desktop::LanguageLibrary> lang_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<BoxService> boxlink_;
  std::unique_ptr<ResponsiveBoxService> service_;
  std::unique_ptr<AuthDialogLibrary> prompt_;
  std::unique_ptr<DiscoveryLibrary> discovery_;
  std::unique_ptr<CTARNBackupRestoreDlg> window_;
  bool main_loop_running_ = false;
};

}  // namespace keeper

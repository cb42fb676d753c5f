// One keeper per user. The first start takes a lock file in the user's
// runtime folder and listens on a local socket beside it; a second start
// finds the lock taken, asks the first over the socket to bring its window
// to the front (restored when minimized), and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace keeper {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Start {
    kFirst,        // this process holds the lock
    kOtherRaised,  // another keeper runs and was asked to come forward
    kOtherBusy,    // another keeper holds the lock but did not answer
    kNoFolder,     // no private folder for the lock
  };

  // `name` names the lock and the socket (text 10011). The folder is
  // $XDG_RUNTIME_DIR, else a private folder in the temporary folder.
  explicit SingleInstance(const QString& name, QObject* parent = nullptr);
  ~SingleInstance() override;

  Start Acquire();
  // Starts answering later starts; false when the socket cannot be made.
  bool Listen();

  QString lock_path() const { return folder_ + "/" + name_ + ".lock"; }
  QString socket_path() const { return folder_ + "/" + name_ + ".socket"; }

  // The request a second start sends, and the first one's answer.
  static constexpr char kRaiseRequest[] = "raise\n";
  static constexpr char kRaised[] = "raised\n";

 signals:
  void raiseRequested();

 private:
  bool AskRunningInstance();
  void OnConnection();

  QString name_;
  QString folder_;
  int lock_fd_ = -1;
  QLocalServer* server_ = nullptr;
};

}  // namespace keeper

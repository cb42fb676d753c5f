#include "keeper/ui/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace keeper {
namespace {

// How long a second start waits for the first one to answer, in all.
constexpr int kAnswerMs = 2000;

// The user's runtime folder, or a folder of this user's own in the
// temporary folder (never one someone else made).
QString PrivateFolder() {
  QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(runtime).exists()) return runtime;
  QString dir = QDir::tempPath() + QString("/zelt-%1").arg(getuid());
  QByteArray path = QFile::encodeName(dir);
  mkdir(path.constData(), 0700);
  struct stat st {};
  if (lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      st.st_uid != getuid() || (st.st_mode & 077) != 0)
    return {};
  return dir;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), name_(name), folder_(PrivateFolder()) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
  if (lock_fd_ >= 0) close(lock_fd_);  // releases the lock
}

SingleInstance::Start SingleInstance::Acquire() {
  if (folder_.isEmpty() || name_.isEmpty()) return Start::kNoFolder;
  QByteArray path = QFile::encodeName(lock_path());
  int fd = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                0600);
  if (fd < 0) return Start::kNoFolder;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lock_fd_ = fd;
    return Start::kFirst;
  }
  close(fd);
  return AskRunningInstance() ? Start::kOtherRaised : Start::kOtherBusy;
}

bool SingleInstance::AskRunningInstance() {
  QElapsedTimer timer;
  timer.start();
  // The first one may still be setting up its socket: try for a while.
  while (timer.elapsed() < kAnswerMs) {
    QLocalSocket socket;
    socket.connectToServer(socket_path());
    if (socket.waitForConnected(200)) {
      socket.write(kRaiseRequest);
      socket.flush();
      while (timer.elapsed() < kAnswerMs && socket.bytesAvailable() == 0 &&
             socket.state() == QLocalSocket::ConnectedState)
        socket.waitForReadyRead(100);
      return socket.readAll() == kRaised;
    }
    QThread::msleep(50);
  }
  return false;
}

bool SingleInstance::Listen() {
  if (lock_fd_ < 0) return false;
  // Holding the lock, whatever socket is there is a dead one's.
  QLocalServer::removeServer(socket_path());
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socket_path())) return false;
  connect(server_, &QLocalServer::newConnection, this,
          &SingleInstance::OnConnection);
  return true;
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket,
            &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) return;
      if (socket->readLine() == kRaiseRequest) {
        emit raiseRequested();
        socket->write(kRaised);
        socket->flush();
      }
      socket->disconnectFromServer();
    });
  }
}

}  // namespace keeper

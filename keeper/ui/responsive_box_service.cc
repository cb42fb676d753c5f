#include "keeper/ui/responsive_box_service.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <atomic>
#include <thread>

namespace keeper {

template <typename Fn>
uint32_t ResponsiveBoxService::Run(Fn&& fn) {
  // Not on the window thread, or a call inside a call (an event handled
  // while waiting): call directly, never two at once on one session.
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() != app->thread() || depth_ > 0)
    return fn();
  ++depth_;
  uint32_t result = 0;
  QEventLoop loop;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = fn();
    done = true;
    // Queued: reaches the loop even when it has not started yet.
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  --depth_;
  return result;
}

uint32_t ResponsiveBoxService::OpenConnection(ZBSESSION* s,
                                              ZBSNMPSETTINGS* snmp) {
  return Run([&] { return inner_.OpenConnection(s, snmp); });
}
uint32_t ResponsiveBoxService::CloseConnection(ZBSESSION* s) {
  return Run([&] { return inner_.CloseConnection(s); });
}
uint32_t ResponsiveBoxService::GetSecuritySettings(ZBSESSION* s,
                                                   ZBSECURITY* security) {
  return Run([&] { return inner_.GetSecuritySettings(s, security); });
}
uint32_t ResponsiveBoxService::Authenticate(ZBSESSION* s,
                                            ZBSECURITY* security) {
  return Run([&] { return inner_.Authenticate(s, security); });
}
uint32_t ResponsiveBoxService::GetServiceStatus(ZBSESSION* s) {
  return Run([&] { return inner_.GetServiceStatus(s); });
}
uint32_t ResponsiveBoxService::GetEngineInfo(ZBSESSION* s,
                                             const char* password,
                                             ZBENGINEINFO* info) {
  return Run([&] { return inner_.GetEngineInfo(s, password, info); });
}
uint32_t ResponsiveBoxService::GetBoxList(ZBSESSION* s,
                                          std::vector<BoxEntry>* boxes) {
  return Run([&] { return inner_.GetBoxList(s, boxes); });
}
uint32_t ResponsiveBoxService::LockUiJob(ZBSESSION* s, const char* password,
                                         uint32_t mode) {
  return Run([&] { return inner_.LockUiJob(s, password, mode); });
}
uint32_t ResponsiveBoxService::RetryUnlockUiJob(ZBSESSION* s,
                                                const char* password,
                                                uint32_t mode) {
  return Run([&] { return inner_.RetryUnlockUiJob(s, password, mode); });
}
uint32_t ResponsiveBoxService::DeleteAllBox(ZBSESSION* s,
                                            const char* password) {
  return Run([&] { return inner_.DeleteAllBox(s, password); });
}

}  // namespace keeper

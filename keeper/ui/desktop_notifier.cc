#include "keeper/ui/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace keeper {
namespace {

// How long the notification stays: the server's own choice.
constexpr int kServerDefaultTimeout = -1;

QString Category(RetryMode mode) {
  switch (mode) {
    case RetryMode::kDone: return "transfer.complete";
    case RetryMode::kCancelled: return "transfer";
    default: return "transfer.error";
  }
}

}  // namespace

CDesktopNotifier::CDesktopNotifier(QString app_name, QDBusConnection bus,
                                   QObject* parent)
    : QObject(parent), app_name_(std::move(app_name)), bus_(std::move(bus)) {
  if (!bus_.isConnected()) return;
  // Whether the server reads markup in the body decides how the body is
  // sent; the answer is in long before the first run ends.
  QDBusMessage ask = QDBusMessage::createMethodCall(
      kNotificationService, kNotificationPath, kNotificationService,
      "GetCapabilities");
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this](QDBusPendingCallWatcher* w) {
            QDBusPendingReply<QStringList> reply = *w;
            if (!reply.isError())
              body_markup_ = reply.value().contains("body-markup");
            w->deleteLater();
          });
}

void CDesktopNotifier::Notify(const RunNotification& n) {
  if (!bus_.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(
      kNotificationService, kNotificationPath, kNotificationService, "Notify");
  QVariantMap hints;
  hints["urgency"] = QVariant::fromValue(static_cast<uchar>(n.urgency));
  hints["category"] = Category(n.mode);
  hints["desktop-entry"] = QString(kDesktopEntry);
  call << app_name_ << static_cast<uint>(last_id_)
       << QString::fromStdString(n.icon) << QString::fromStdString(n.summary)
       // A server that reads markup must not take a "<" or "&" of a box
       // name or a path for some.
       << (body_markup_ ? QString::fromStdString(n.body).toHtmlEscaped()
                        : QString::fromStdString(n.body))
       << QStringList()
       << hints << kServerDefaultTimeout;
  // A service that is not there answers with an error later; the schedule
  // never waits for it.
  call.setAutoStartService(true);
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this](QDBusPendingCallWatcher* w) {
            QDBusPendingReply<uint> reply = *w;
            if (reply.isError()) {
              last_error_ = reply.error().name();
            } else {
              last_error_.clear();
              last_id_ = reply.value();
            }
            w->deleteLater();
            emit answered();
          });
}

}  // namespace keeper

// Run results as desktop notifications, through the freedesktop
// notification service (org.freedesktop.Notifications on the session
// bus). Calls never wait: without a session bus, or with nobody serving
// notifications on it, nothing is shown and nothing else changes; the
// result dialog still tells the user.
//
// A new result replaces the notification of the one before, so the
// notification list shows where the schedule stands, not its history.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include "keeper/app/auto_backup_host.h"

namespace keeper {

inline constexpr char kNotificationService[] = "org.freedesktop.Notifications";
inline constexpr char kNotificationPath[] = "/org/freedesktop/Notifications";
// The desktop entry the notifications belong to (its name and icon).
inline constexpr char kDesktopEntry[] = "org.tarnkeeper.keeper";

class CDesktopNotifier final : public QObject, public RunNotifier {
  Q_OBJECT

 public:
  // `app_name`: the program's name as the notification list shows it.
  explicit CDesktopNotifier(QString app_name,
                            QDBusConnection bus = QDBusConnection::sessionBus(),
                            QObject* parent = nullptr);

  void Notify(const RunNotification& notification) override;

  bool bus_connected() const { return bus_.isConnected(); }
  // The id the service gave the last notification (0: none yet).
  uint32_t last_id() const { return last_id_; }
  // The error of the last call the service did not answer ("" when none).
  const QString& last_error() const { return last_error_; }
  // The server reads markup in the body: it is sent escaped.
  bool body_markup() const { return body_markup_; }

 signals:
  // The service answered a Notify call, with the id or an error.
  void answered();

 private:
  QString app_name_;
  QDBusConnection bus_;
  uint32_t last_id_ = 0;
  QString last_error_;
  bool body_markup_ = false;
};

}  // namespace keeper

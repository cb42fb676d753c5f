// Desktop notifications of run results over a private message bus that
// the test starts (a dbus-daemon on a socket in a temporary folder): a
// notification service of the test receives what the program sends; a
// bus without one, and no bus at all, change nothing for the caller.
#include "keeper/ui/desktop_notifier.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <fstream>

#include "platform/testing/temp_dir.h"

namespace keeper {
namespace {

// A notification service as the desktop runs one.
class NotificationServer : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Call {
    QString app, icon, summary, body;
    uint replaces = 0;
    QVariantMap hints;
    int timeout = 0;
  };
  std::vector<Call> calls;
  QStringList capabilities = {"body"};

 public slots:
  uint Notify(const QString& app, uint replaces, const QString& icon,
              const QString& summary, const QString& body,
              const QStringList&, const QVariantMap& hints, int timeout) {
    calls.push_back({app, icon, summary, body, replaces, hints, timeout});
    return static_cast<uint>(40 + calls.size());
  }
  QStringList GetCapabilities() { return capabilities; }
};

class DesktopNotifierTest : public testing::Test {
 protected:
  void SetUp() override {
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
    // A bus of its own: no service is started on demand, nothing of the
    // user's session is touched.
    const std::string config = dir_.Sub("bus.conf");
    std::ofstream(config)
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
           "Configuration 1.0//EN\" "
           "\"http://www.freedesktop.org/standards/dbus/1.0/"
           "busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:dir="
        << dir_.path()
        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
           "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
           "</busconfig>\n";
    daemon_.start(daemon, {"--config-file=" + QString::fromStdString(config),
                           "--nofork", "--nopidfile", "--print-address"});
    ASSERT_TRUE(daemon_.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return daemon_.canReadLine(); }, 5000));
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    ASSERT_FALSE(address_.isEmpty());
  }

  void TearDown() override {
    QDBusConnection::disconnectFromBus("server");
    QDBusConnection::disconnectFromBus("client");
    if (daemon_.state() != QProcess::NotRunning) {
      daemon_.terminate();
      daemon_.waitForFinished(5000);
    }
  }

  QDBusConnection Bus(const QString& name) {
    return QDBusConnection::connectToBus(address_, name);
  }

  static RunNotification Note(RetryMode mode, std::string body,
                              RunNotification::Urgency urgency,
                              std::string icon) {
    RunNotification n;
    n.mode = mode;
    n.summary = "Automatic Backup: Backup";
    n.body = std::move(body);
    n.urgency = urgency;
    n.icon = std::move(icon);
    return n;
  }

  platform::ScopedTempDir dir_;
  QProcess daemon_;
  QString address_;
};

TEST_F(DesktopNotifierTest, TheServiceReceivesEachResultAndItReplacesTheLast) {
  NotificationServer server;
  QDBusConnection bus = Bus("server");
  ASSERT_TRUE(bus.isConnected());
  ASSERT_TRUE(bus.registerObject(kNotificationPath, &server,
                                 QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(bus.registerService(kNotificationService));

  CDesktopNotifier notifier("Keeper", Bus("client"));
  ASSERT_TRUE(notifier.bus_connected());
  struct Case {
    RunNotification note;
    const char* category;
    uchar urgency;
  } cases[] = {
      {Note(RetryMode::kDone, "The backup finished <ok> & well.",
            RunNotification::Urgency::kNormal, "dialog-information"),
       "transfer.complete", 1},
      {Note(RetryMode::kRetryPending, "No answer.\nIt will be tried again.",
            RunNotification::Urgency::kCritical, "dialog-error"),
       "transfer.error", 2},
  };
  uint previous = 0;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    int answered = 0;
    QObject::connect(&notifier, &CDesktopNotifier::answered,
                     [&] { ++answered; });
    notifier.Notify(c.note);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered > 0; }, 5000)) << i;
    QObject::disconnect(&notifier, &CDesktopNotifier::answered, nullptr,
                        nullptr);
    ASSERT_EQ(server.calls.size(), i + 1);
    const NotificationServer::Call& got = server.calls.back();
    EXPECT_EQ(got.app, "Keeper");
    EXPECT_EQ(got.replaces, previous) << "replaces the one before";
    EXPECT_EQ(got.icon, QString::fromStdString(c.note.icon));
    EXPECT_EQ(got.summary, QString::fromStdString(c.note.summary));
    // The server does not read markup: the body goes as it is.
    EXPECT_EQ(got.body, QString::fromStdString(c.note.body));
    EXPECT_EQ(got.hints.value("urgency").value<uchar>(), c.urgency) << i;
    EXPECT_EQ(got.hints.value("category").toString(), c.category);
    EXPECT_EQ(got.hints.value("desktop-entry").toString(), kDesktopEntry);
    EXPECT_EQ(got.timeout, -1);
    EXPECT_EQ(notifier.last_id(), 41u + i);
    EXPECT_TRUE(notifier.last_error().isEmpty());
    previous = notifier.last_id();
  }
}

TEST_F(DesktopNotifierTest, AServerThatReadsMarkupGetsTheBodyEscaped) {
  NotificationServer server;
  server.capabilities = {"body", "body-markup"};
  QDBusConnection bus = Bus("server");
  ASSERT_TRUE(bus.registerObject(kNotificationPath, &server,
                                 QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(bus.registerService(kNotificationService));
  CDesktopNotifier notifier("Keeper", Bus("client"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.body_markup(); }, 5000));
  bool answered = false;
  QObject::connect(&notifier, &CDesktopNotifier::answered,
                   [&] { answered = true; });
  notifier.Notify(Note(RetryMode::kFailed, "/srv/a&b/<hall>.zip",
                       RunNotification::Urgency::kCritical, "dialog-error"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 5000));
  ASSERT_EQ(server.calls.size(), 1u);
  EXPECT_EQ(server.calls[0].body, "/srv/a&amp;b/&lt;hall&gt;.zip");
}

TEST_F(DesktopNotifierTest, NobodyServingOrNoBusChangesNothing) {
  CDesktopNotifier notifier("Keeper", Bus("client"));
  ASSERT_TRUE(notifier.bus_connected());
  bool answered = false;
  QObject::connect(&notifier, &CDesktopNotifier::answered,
                   [&] { answered = true; });
  notifier.Notify(Note(RetryMode::kDone, "done",
                       RunNotification::Urgency::kNormal,
                       "dialog-information"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 5000));
  EXPECT_EQ(notifier.last_error(), "org.freedesktop.DBus.Error.ServiceUnknown");
  EXPECT_EQ(notifier.last_id(), 0u);

  CDesktopNotifier nowhere(
      "Keeper", QDBusConnection::connectToBus(
                    "unix:path=" + QString::fromStdString(dir_.Sub("none")),
                    "nowhere"));
  EXPECT_FALSE(nowhere.bus_connected());
  nowhere.Notify(Note(RetryMode::kDone, "done",
                      RunNotification::Urgency::kNormal, "dialog-information"));
  EXPECT_EQ(nowhere.last_id(), 0u);
  EXPECT_TRUE(nowhere.last_error().isEmpty());
  QDBusConnection::disconnectFromBus("nowhere");
}

}  // namespace
}  // namespace keeper

#include "desktop_notifier_test.moc"

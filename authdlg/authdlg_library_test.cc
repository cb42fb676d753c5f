// The password prompt library loaded by path, as keeper loads it, with its
// dialog driven through the keyboard and mouse.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <filesystem>
#include <functional>

#include "authdlg/include/authdlg.h"
#include "platform/env.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"
#include "platform/text.h"

namespace {

using platform::RegRoot;

constexpr char kRunningKey[] =
    "Software\\TALLIS\\Corvane TALLIS Client\\Running";

std::u16string LangPath(const char* file) {
  return platform::Utf8ToUtf16(platform::Env::Default()->ProgramDir() + "/" +
                               file);
}

// Runs `script` on the first modal window that appears (the prompt or a
// message box) while the library's call is running.
void OnModal(std::function<void(QWidget*)> script) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, script] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    script(w);
  });
  timer->start();
}

// Types text as a keyboard would; QTest only knows how to type ASCII, so
// other characters arrive as key events that carry just their text, as an
// input method delivers them.
void Type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClicks(w, QString(c));
      continue;
    }
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &release);
  }
}

class AuthDlgLibraryTest : public testing::Test {
 protected:
  void SetUp() override { Load(); }
  void TearDown() override { lib_.reset(); }

  void Load() {
    lib_.reset();
    std::string error;
    lib_ = platform::Env::Current()->LoadLibrary(
        platform::Env::Default()->ProgramDir() + "/libauthdlg.so", &error);
    ASSERT_TRUE(lib_) << error;
    set_path_ = lib_->Function<SetLangDllPathFn>("SetLangDllPath");
    open_ = lib_->Function<OpenUserAuthDlgFn>("OpenUserAuthDlg");
    set_network_ = lib_->Function<SetByteFn>("SetNetWorkErrorStatus");
    set_controller_ = lib_->Function<SetByteFn>("SetControllerType");
    set_main_ = lib_->Function<SetByteFn>("SetMainDlgLaunchStatus");
    token_ = lib_->Function<GetUserAuthDlgHandleFn>("GetUserAuthDlgHandle");
    ASSERT_TRUE(set_path_ && open_ && set_network_ && set_controller_ &&
                set_main_ && token_);
  }

  void UseEnglish() {
    ASSERT_EQ(set_path_(LangPath("libkeeperlang_en.so").c_str(), 11000), 0);
  }

  // Opens the prompt; `script` acts on it; returns the result.
  int32_t Prompt(std::function<void(QWidget*)> script, unsigned char* buffer) {
    OnModal(std::move(script));
    return open_(buffer);
  }

  static QLineEdit* Edit(QWidget* d) {
    return d->findChild<QLineEdit*>("password");
  }
  static QPushButton* Button(QWidget* d, const char* name) {
    return d->findChild<QPushButton*>(name);
  }

  bool KeyExists() {
    return env_.registry().KeyExists(RegRoot::kCurrentUser, kRunningKey);
  }
  std::optional<std::string> KeyValue(const char* name) {
    auto v = env_.registry().GetValue(RegRoot::kCurrentUser, kRunningKey, name);
    if (!v) return std::nullopt;
    return v->text;
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  std::unique_ptr<platform::Library> lib_;
  SetLangDllPathFn set_path_ = nullptr;
  OpenUserAuthDlgFn open_ = nullptr;
  SetByteFn set_network_ = nullptr, set_controller_ = nullptr,
            set_main_ = nullptr;
  GetUserAuthDlgHandleFn token_ = nullptr;
};

TEST_F(AuthDlgLibraryTest, ByteSettersReturnTheirByte) {
  for (uint8_t b : {0, 1, 7, 255}) {
    EXPECT_EQ(set_network_(b), b);
    EXPECT_EQ(set_controller_(b), b);
    EXPECT_EQ(set_main_(b), b);
  }
}

TEST_F(AuthDlgLibraryTest, PathAndBufferErrorsAreSilent) {
  unsigned char buffer[1022] = {};
  size_t windows = QApplication::topLevelWidgets().size();
  EXPECT_EQ(open_(nullptr), -100);
  EXPECT_EQ(open_(buffer), -102) << "no path was ever set";
  EXPECT_EQ(set_path_(nullptr, 1), -100);
  EXPECT_EQ(set_path_(u"", 1), -100);
  std::u16string too_long(260, u'a');
  EXPECT_EQ(set_path_(too_long.c_str(), 1), -100);
  EXPECT_EQ(open_(buffer), -102) << "a refused path must not be stored";
  EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);

  // A good path, then bad ones: the good one stays.
  UseEnglish();
  EXPECT_EQ(set_path_(nullptr, 1), -100);
  EXPECT_EQ(set_path_(u"", 1), -100);
  EXPECT_EQ(Prompt([](QWidget* d) { Button(d, "cancel")->click(); }, buffer),
            2);
}

TEST_F(AuthDlgLibraryTest, AnUnloadableLanguageLibraryIsReported) {
  ASSERT_EQ(set_path_(u"/nonexistent/libkeeperlang_xx.so", 0), 0);
  unsigned char buffer[16];
  std::memset(buffer, 0x5A, sizeof buffer);
  buffer[15] = 0;
  QString text, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool owned = true;
  int32_t result = Prompt(
      [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_TRUE(box);
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        owned = box->parentWidget() != nullptr;
        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click()
                                     : box->buttons().first()->click();
      },
      buffer);
  EXPECT_EQ(result, -101);
  EXPECT_EQ(text, "Unable to load Language dll");
  EXPECT_EQ(title, "Error");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_FALSE(owned);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(buffer[i], 0x5A) << i;
}

TEST_F(AuthDlgLibraryTest, TextsComeFromTheLanguageLibrary) {
  ASSERT_EQ(set_path_(LangPath("libkeeperlang_de.so").c_str(), 11000), 0);
  unsigned char buffer[1022] = {};
  QString title, prompt, ok, cancel;
  Prompt(
      [&](QWidget* d) {
        title = d->windowTitle();
        prompt = d->findChild<QLabel*>("prompt")->text();
        ok = Button(d, "ok")->text();
        cancel = Button(d, "cancel")->text();
        EXPECT_TRUE(d->windowFlags() & Qt::WindowStaysOnTopHint);
        Button(d, "cancel")->click();
      },
      buffer);
  EXPECT_EQ(title, QString::fromUtf8("Ger\xC3\xA4tekennwort"));
  EXPECT_EQ(prompt,
            QString::fromUtf8("Administratorkennwort des Ger\xC3\xA4ts eingeben:"));
  EXPECT_EQ(ok, "OK");
  EXPECT_EQ(cancel, "Abbrechen");
}

TEST_F(AuthDlgLibraryTest, LengthLimitFollowsTheControllerType) {
  UseEnglish();
  for (uint8_t type : {1, 0, 2}) {
    set_controller_(type);
    unsigned char buffer[1022] = {};
    int max_length = 0;
    QString typed;
    Prompt(
        [&](QWidget* d) {
          max_length = Edit(d)->maxLength();
          QTest::keyClicks(Edit(d), QString(70, 'k'));
          typed = Edit(d)->text();
          Button(d, "cancel")->click();
        },
        buffer);
    size_t limit = type == 1 ? 64 : 10;
    EXPECT_EQ(max_length, static_cast<int>(limit)) << int(type);
    EXPECT_EQ(typed.size(), static_cast<qsizetype>(limit)) << int(type);
  }
}

TEST_F(AuthDlgLibraryTest, TheTypingFilter) {
  UseEnglish();
  set_controller_(1);
  unsigned char buffer[1022] = {};
  Prompt(
      [&](QWidget* d) {
        QLineEdit* edit = Edit(d);
        QPushButton* ok = Button(d, "ok");
        EXPECT_FALSE(ok->isEnabled()) << "OK with an empty edit";
        // Forbidden characters into an empty edit: removed, OK stays off.
        QTest::keyClicks(edit, " <\"");
        EXPECT_EQ(edit->text(), "");
        EXPECT_FALSE(ok->isEnabled());

        // A space between two letters goes again; the caret stays
        // between them.
        QTest::keyClicks(edit, "ab");
        QTest::keyClick(edit, Qt::Key_Left);
        QTest::keyClick(edit, Qt::Key_Space);
        EXPECT_EQ(edit->text(), "ab");
        EXPECT_EQ(edit->cursorPosition(), 1);
        EXPECT_TRUE(ok->isEnabled());

        // Pasting several forbidden characters leaves none of them.
        edit->clear();
        QApplication::clipboard()->setText("x y<z>&'[w]%");
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), "xyzw");

        // The listed punctuation, accented and non-Latin letters stay.
        edit->clear();
        const QString kept = QString::fromUtf8(
            "!#()*+,-./:;=?@\\^_`{|}~$\xC2\xA7\xE2\x82\xAC\xC2\xB5"
            "\xC3\xA9\xC3\x9F\xE6\x97\xA5\xE6\x9C\xAC");
        Type(edit, kept);
        EXPECT_EQ(edit->text(), kept);
        EXPECT_TRUE(ok->isEnabled());

        // Removing everything switches OK off again.
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        EXPECT_FALSE(ok->isEnabled());
        Button(d, "cancel")->click();
      },
      buffer);
}

TEST_F(AuthDlgLibraryTest, CancelLeavesTheBufferAndOkWritesUtf16) {
  UseEnglish();
  set_controller_(1);
  unsigned char buffer[1022];
  std::memset(buffer, 0xEE, sizeof buffer);
  std::memcpy(buffer, "start", 6);
  QString initial;
  EXPECT_EQ(Prompt(
                [&](QWidget* d) {
                  initial = Edit(d)->text();
                  QTest::keyClicks(Edit(d), "more");
                  Button(d, "cancel")->click();
                },
                buffer),
            2);
  EXPECT_EQ(initial, "start") << "the buffer's text starts the edit";
  EXPECT_EQ(std::memcmp(buffer, "start", 6), 0);
  EXPECT_EQ(buffer[6], 0xEE);

  // 64 characters: 128 bytes and the terminator, nothing beyond.
  std::memset(buffer, 0xEE, sizeof buffer);
  buffer[0] = 0;
  QString password = QString::fromUtf8("\xC3\xA9") + QString(63, 'p');
  EXPECT_EQ(Prompt(
                [&](QWidget* d) {
                  Type(Edit(d), password);
                  QTest::mouseClick(Button(d, "ok"), Qt::LeftButton);
                },
                buffer),
            1);
  std::u16string got(reinterpret_cast<const char16_t*>(buffer), 64);
  EXPECT_EQ(QString::fromUtf16(got.data(), 64), password);
  EXPECT_EQ(buffer[128], 0);
  EXPECT_EQ(buffer[129], 0);
  EXPECT_EQ(buffer[130], 0xEE) << "more than 130 bytes written";
}

TEST_F(AuthDlgLibraryTest, TheTokenMarksTheLastAcceptedDialog) {
  UseEnglish();
  EXPECT_EQ(token_(), 0u);
  unsigned char buffer[1022] = {};
  auto accept = [](QWidget* d) {
    QTest::keyClicks(Edit(d), "secret");
    QTest::keyClick(Edit(d), Qt::Key_Return);  // OK is the default button
  };
  auto cancel = [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); };
  ASSERT_EQ(Prompt(accept, buffer), 1);
  uint32_t first = token_();
  EXPECT_NE(first, 0u);
  ASSERT_EQ(Prompt(cancel, buffer), 2);
  EXPECT_EQ(token_(), first) << "a cancelled dialog keeps the token";
  ASSERT_EQ(Prompt(accept, buffer), 1);
  EXPECT_NE(token_(), 0u);
  EXPECT_NE(token_(), first);
}

TEST_F(AuthDlgLibraryTest, TheRunningInstanceKey) {
  UseEnglish();
  unsigned char buffer[1022] = {};
  // While the first prompt is up, the key names it.
  std::optional<std::string> during;
  ASSERT_EQ(Prompt(
                [&](QWidget* d) {
                  during = KeyValue("WndTitle");
                  EXPECT_EQ(KeyValue("CLSID"), "ZELT");
                  Button(d, "cancel")->click();
                },
                buffer),
            2);
  EXPECT_EQ(during, "Device Password");
  EXPECT_FALSE(KeyExists()) << "a cancelled first prompt leaves no key";

  // OK sets the main-window flag: the key stays and names the main window,
  // also for a later cancelled prompt.
  ASSERT_EQ(Prompt(
                [](QWidget* d) {
                  QTest::keyClicks(Edit(d), "pw");
                  Button(d, "ok")->click();
                },
                buffer),
            1);
  EXPECT_EQ(KeyValue("CLSID"), "ZELT");
  EXPECT_EQ(KeyValue("WndTitle"), "Tarn Box Keeper");
  ASSERT_EQ(Prompt([](QWidget* d) { Button(d, "cancel")->click(); }, buffer),
            2);
  EXPECT_EQ(KeyValue("WndTitle"), "Tarn Box Keeper");
}

TEST_F(AuthDlgLibraryTest, WithTheMainWindowUpThePromptBelongsToIt) {
  UseEnglish();
  QWidget main;
  main.setWindowTitle("Tarn Box Keeper");
  main.show();
  QApplication::setActiveWindow(&main);
  set_main_(1);
  unsigned char buffer[1022] = {};
  QWidget* owner = nullptr;
  Prompt(
      [&](QWidget* d) {
        owner = d->parentWidget();
        Button(d, "cancel")->click();
      },
      buffer);
  EXPECT_EQ(owner, &main);
  EXPECT_TRUE(KeyExists()) << "the main window's flag keeps the key";
  EXPECT_EQ(KeyValue("WndTitle"), "Tarn Box Keeper");
}

TEST_F(AuthDlgLibraryTest, EveryLoadStartsAfresh) {
  UseEnglish();
  set_controller_(1);
  set_main_(1);
  unsigned char buffer[1022] = {};
  ASSERT_EQ(Prompt(
                [](QWidget* d) {
                  QTest::keyClicks(Edit(d), "pw");
                  Button(d, "ok")->click();
                },
                buffer),
            1);
  ASSERT_NE(token_(), 0u);
  Load();
  EXPECT_EQ(token_(), 0u);
  EXPECT_EQ(open_(buffer), -102) << "the path did not survive the unload";
  UseEnglish();
  int max_length = 0;
  Prompt(
      [&](QWidget* d) {
        max_length = Edit(d)->maxLength();
        Button(d, "cancel")->click();
      },
      buffer);
  EXPECT_EQ(max_length, 10) << "the controller type did not survive";
  EXPECT_FALSE(KeyExists()) << "nor did the main-window flag";
}

TEST_F(AuthDlgLibraryTest, AKeyThatCannotBeMadeEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::string file = env_.registry().FileOf(RegRoot::kCurrentUser);
        std::filesystem::remove(file);
        std::filesystem::create_directories(file);
        UseEnglish();
        unsigned char buffer[1022] = {};
        Prompt(
            [](QWidget* w) {
              if (auto* box = qobject_cast<QMessageBox*>(w)) {
                fprintf(stderr, "[%s|%s|%d]\n",
                        box->windowTitle().toUtf8().constData(),
                        box->text().toUtf8().constData(), int(box->icon()));
                box->buttons().first()->click();
              }
            },
            buffer);
        std::exit(3);  // not reached: the library ends the process
      },
      testing::ExitedWithCode(0),
      "\\[Error\\|An internal error occurred.\\|2\\]");
}

}  // namespace

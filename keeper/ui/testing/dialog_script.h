// Answers the modal windows a test expects, in order, as a user would:
// each step waits for a visible top-level window of the named class or
// object, checks it and acts on it (types, clicks). A window nobody
// expected is recorded and closed, so that a wrong turn fails the test
// instead of hanging it.
//
//   DialogScript script;
//   script.Expect("CUserAuthenticationDlg", TypePassword("admin00"));
//   window.Open();
//   EXPECT_TRUE(script.Done()) << script.Report();
#pragma once

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "desktop/screen.h"

namespace keeper::testing_ui {

class DialogScript {
 public:
  using Action = std::function<void(QWidget*)>;

  DialogScript() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  ~DialogScript() { timer_.stop(); }

  // `name` is a window's object name or class name.
  void Expect(std::string name, Action action) {
    steps_.push_back({std::move(name), std::move(action)});
  }
  // Windows that may come and go on their own (the connection notice).
  void Ignore(std::string name) { ignored_.insert(std::move(name)); }

  bool Done() const { return steps_.empty() && unexpected_.empty(); }
  std::string Report() const {
    std::string r;
    for (const auto& s : steps_) r += "never came: " + s.name + "\n";
    for (const auto& u : unexpected_) r += "unexpected: " + u + "\n";
    return r;
  }
  const std::vector<std::string>& seen() const { return seen_; }

 private:
  struct Step {
    std::string name;
    Action action;
  };

  static std::string NameOf(QWidget* w) {
    std::string object = w->objectName().toStdString();
    return object.empty() ? w->metaObject()->className() : object;
  }
  static bool Matches(QWidget* w, const std::string& name) {
    return w->objectName().toStdString() == name ||
           name == w->metaObject()->className();
  }

  void Poll() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || handled_.count(w)) continue;
      auto* dialog = qobject_cast<QDialog*>(w);
      if (!dialog) continue;
      const std::string name = NameOf(w);
      if (ignored_.count(name) || ignored_.count(w->metaObject()->className()))
        continue;
      handled_.insert(w);
      // Forget the window once it is gone, so that a later one at the same
      // address is seen.
      QObject::connect(w, &QObject::destroyed, [this, w] { handled_.erase(w); });
      QObject::connect(dialog, &QDialog::finished,
                       [this, w] { handled_.erase(w); });
      seen_.push_back(name);
      QPointer<QWidget> guard(w);
      if (!steps_.empty() && Matches(w, steps_.front().name)) {
        Action a = std::move(steps_.front().action);
        steps_.pop_front();
        // Acted on from the event loop, so that a window the action opens
        // (a modal one runs its own loop) is answered by a later turn.
        QTimer::singleShot(0, [a = std::move(a), guard] {
          if (guard) a(guard.data());
        });
      } else {
        unexpected_.push_back(name + DescribeBox(w));
        QTimer::singleShot(0, [guard] {
          if (auto* d = qobject_cast<QDialog*>(guard.data())) d->reject();
        });
      }
      return;  // one window per turn
    }
  }

  static std::string DescribeBox(QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w))
      return " \"" + box->text().toStdString() + "\"";
    return {};
  }

  QTimer timer_;
  std::deque<Step> steps_;
  std::set<std::string> ignored_;
  std::set<QWidget*> handled_;
  std::vector<std::string> unexpected_;
  std::vector<std::string> seen_;
};

// Types into the password prompt and presses OK (or Cancel).
inline DialogScript::Action TypePassword(QString password) {
  return [password](QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>("password");
    QTest::keyClicks(edit, password);
    QTest::mouseClick(w->findChild<QPushButton*>("ok"), Qt::LeftButton);
  };
}
inline DialogScript::Action CancelPrompt() {
  return [](QWidget* w) {
    QTest::mouseClick(w->findChild<QPushButton*>("cancel"), Qt::LeftButton);
  };
}

// Keeps a message box's text and presses the button of that answer.
inline DialogScript::Action Press(desktop::Answer answer,
                                  QString* text = nullptr) {
  return [answer, text](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return;
    if (text) *text = box->text();
    for (QAbstractButton* b : box->buttons())
      if (b->property("zeltAnswer").toInt() == static_cast<int>(answer)) {
        QTest::mouseClick(b, Qt::LeftButton);
        return;
      }
  };
}
inline DialogScript::Action PressOk(QString* text = nullptr) {
  return Press(desktop::Answer::kOk, text);
}

// Clicks the child button of that object name.
inline DialogScript::Action Click(QString button) {
  return [button](QWidget* w) {
    QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
  };
}

}  // namespace keeper::testing_ui

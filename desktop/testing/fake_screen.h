// A Screen for tests: records every message, question, file request, notice
// and link, and answers from a script. Safe to call from several threads.
//
//   desktop::FakeScreen screen(texts);
//   screen.answers.push_back(desktop::Answer::kNo);
//   logic.OnCancel();
//   EXPECT_EQ(screen.shown().back().text.id, 49u);
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "desktop/screen.h"

namespace desktop {

class FakeScreen final : public Screen {
 public:
  struct Shown {
    enum Kind { kMessage, kQuestion, kNotice } kind = kMessage;
    Message message;
    Buttons buttons = Buttons::kOk;
    Answer default_answer = Answer::kOk;
    std::string text;     // resolved with the texts given, when there are
    std::string caption;  // the same
  };

  FakeScreen() = default;
  explicit FakeScreen(const Texts* texts) : texts_(texts) {}

  // Answers to questions, in order; an empty script answers the default.
  std::deque<Answer> answers;
  // Answers to file requests, in order; an empty script cancels.
  std::deque<std::optional<std::string>> files;
  // Runs while a question is open, before it is answered.
  std::function<void(const Message&)> while_asking;
  bool url_result = true;

  void Show(const Message& message) override;
  Answer Ask(const Message& message, Buttons buttons,
             Answer default_answer) override;
  std::optional<std::string> PickFile(const FileRequest& request) override;
  std::unique_ptr<Notice> OpenNotice(const Message& message) override;
  bool OpenUrl(const std::string& url) override;

  std::vector<Shown> shown() const;
  std::vector<FileRequest> file_requests() const;
  std::vector<std::string> urls() const;
  int open_notices() const;
  void Clear();

 private:
  Shown Record(Shown::Kind kind, const Message& m);
  const Texts* texts_ = nullptr;
  mutable std::mutex mu_;
  std::vector<Shown> shown_;
  std::vector<FileRequest> file_requests_;
  std::vector<std::string> urls_;
  std::shared_ptr<int> open_notices_ = std::make_shared<int>(0);
};

// A ProgressDisplay that keeps what it was last told and counts calls.
class FakeProgressDisplay final : public ProgressDisplay {
 public:
  struct State {
    uint32_t percent = 0;
    UiText phase;
    std::string names;
    std::string counts;
    bool cancel_enabled = true;
    bool animating = false;
    bool busy = false;
    bool closed = false;
    int updates = 0;  // SetPercent calls
  };

  void SetPercent(uint32_t percent) override;
  void SetPhase(const UiText& text) override;
  void SetNames(const std::string& box, const std::string& folder,
                const std::string& document) override;
  void SetCounts(const std::string& line) override;
  void EnableCancel(bool enabled) override;
  void Animate(bool running) override;
  void ShowBusy(bool busy) override;
  void Close() override;

  State state() const;

 private:
  mutable std::mutex mu_;
  State state_;
};

}  // namespace desktop

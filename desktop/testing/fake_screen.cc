#include "desktop/testing/fake_screen.h"

namespace desktop {
namespace {

class FakeNotice final : public Notice {
 public:
  explicit FakeNotice(std::shared_ptr<int> count) : count_(std::move(count)) {
    ++*count_;
  }
  ~FakeNotice() override { Close(); }
  void Close() override {
    if (open_) --*count_;
    open_ = false;
  }
  bool open() const override { return open_; }

 private:
  std::shared_ptr<int> count_;
  bool open_ = true;
};

}  // namespace

FakeScreen::Shown FakeScreen::Record(Shown::Kind kind, const Message& m) {
  Shown s;
  s.kind = kind;
  s.message = m;
  if (texts_) {
    s.text = m.text.Resolve(*texts_);
    s.caption = m.caption.Resolve(*texts_);
  } else {
    s.text = m.text.text;
    s.caption = m.caption.text;
  }
  return s;
}

void FakeScreen::Show(const Message& message) {
  Shown s = Record(Shown::kMessage, message);
  std::lock_guard<std::mutex> g(mu_);
  shown_.push_back(std::move(s));
}

Answer FakeScreen::Ask(const Message& message, Buttons buttons,
                       Answer default_answer) {
  Shown s = Record(Shown::kQuestion, message);
  s.buttons = buttons;
  s.default_answer = default_answer;
  {
    std::lock_guard<std::mutex> g(mu_);
    shown_.push_back(std::move(s));
  }
  if (while_asking) while_asking(message);
  std::lock_guard<std::mutex> g(mu_);
  if (answers.empty()) return default_answer;
  Answer a = answers.front();
  answers.pop_front();
  return a;
}

std::optional<std::string> FakeScreen::PickFile(const FileRequest& request) {
  std::lock_guard<std::mutex> g(mu_);
  file_requests_.push_back(request);
  if (files.empty()) return std::nullopt;
  auto f = files.front();
  files.pop_front();
  return f;
}

std::unique_ptr<Notice> FakeScreen::OpenNotice(const Message& message) {
  Shown s = Record(Shown::kNotice, message);
  std::lock_guard<std::mutex> g(mu_);
  shown_.push_back(std::move(s));
  return std::make_unique<FakeNotice>(open_notices_);
}

bool FakeScreen::OpenUrl(const std::string& url) {
  std::lock_guard<std::mutex> g(mu_);
  urls_.push_back(url);
  return url_result;
}

std::vector<FakeScreen::Shown> FakeScreen::shown() const {
  std::lock_guard<std::mutex> g(mu_);
  return shown_;
}

std::vector<FileRequest> FakeScreen::file_requests() const {
  std::lock_guard<std::mutex> g(mu_);
  return file_requests_;
}

std::vector<std::string> FakeScreen::urls() const {
  std::lock_guard<std::mutex> g(mu_);
  return urls_;
}

int FakeScreen::open_notices() const {
  std::lock_guard<std::mutex> g(mu_);
  return *open_notices_;
}

void FakeScreen::Clear() {
  std::lock_guard<std::mutex> g(mu_);
  shown_.clear();
  file_requests_.clear();
  urls_.clear();
}

void FakeProgressDisplay::SetPercent(uint32_t percent) {
  std::lock_guard<std::mutex> g(mu_);
  state_.percent = percent;
  ++state_.updates;
}
void FakeProgressDisplay::SetPhase(const UiText& text) {
  std::lock_guard<std::mutex> g(mu_);
  state_.phase = text;
}
void FakeProgressDisplay::SetNames(const std::string& box,
                                   const std::string& folder,
                                   const std::string& document) {
  std::lock_guard<std::mutex> g(mu_);
  state_.names = box + "/" + folder + "/" + document;
}
void FakeProgressDisplay::SetCounts(const std::string& line) {
  std::lock_guard<std::mutex> g(mu_);
  state_.counts = line;
}
void FakeProgressDisplay::EnableCancel(bool enabled) {
  std::lock_guard<std::mutex> g(mu_);
  state_.cancel_enabled = enabled;
}
void FakeProgressDisplay::Animate(bool running) {
  std::lock_guard<std::mutex> g(mu_);
  state_.animating = running;
}
void FakeProgressDisplay::ShowBusy(bool busy) {
  std::lock_guard<std::mutex> g(mu_);
  state_.busy = busy;
}
void FakeProgressDisplay::Close() {
  std::lock_guard<std::mutex> g(mu_);
  state_.closed = true;
}
FakeProgressDisplay::State FakeProgressDisplay::state() const {
  std::lock_guard<std::mutex> g(mu_);
  return state_;
}

}  // namespace desktop

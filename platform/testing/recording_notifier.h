// A Notifier for tests: keeps every notice it is given.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/notifier.h"

namespace platform {

class RecordingNotifier final : public Notifier {
 public:
  struct Notice {
    std::string text;
    std::string caption;
    NoticeKind kind;
  };

  void Notify(std::string_view text, std::string_view caption,
              NoticeKind kind) override {
    std::lock_guard<std::mutex> g(mu_);
    notices_.push_back({std::string(text), std::string(caption), kind});
  }

  std::vector<Notice> notices() const {
    std::lock_guard<std::mutex> g(mu_);
    return notices_;
  }
  // The texts alone, in order.
  std::vector<std::string> texts() const {
    std::lock_guard<std::mutex> g(mu_);
    std::vector<std::string> out;
    for (const Notice& n : notices_) out.push_back(n.text);
    return out;
  }

 private:
  mutable std::mutex mu_;
  std::vector<Notice> notices_;
};

}  // namespace platform

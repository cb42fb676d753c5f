// A small network of the test's own: one network namespace per host, all
// joined by a bridge in a namespace of its own, so that broadcasts and
// multicasts of a discovery never leave it. Hosts are 10.77.0.<n>/24 with
// the link-local address fe80::<n> and fd77::<n>; the client is host 1,
// devices are hosts 11, 12, ...
//
// Making it needs root (CI runs as root); Create() says why when it cannot.
// The namespaces are deleted when the object goes away.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace finder::testing {

class TestNetwork {
 public:
  static std::unique_ptr<TestNetwork> Create(int devices, std::string* why);
  ~TestNetwork();
  TestNetwork(const TestNetwork&) = delete;
  TestNetwork& operator=(const TestNetwork&) = delete;

  const std::string& client() const { return names_[0]; }
  const std::string& device(int i) const { return names_[1 + i]; }
  static std::string DeviceIpv4(int i) { return "10.77.0." + std::to_string(11 + i); }
  static std::string DeviceLinkLocal(int i) { return "fe80::" + std::to_string(11 + i); }
  static constexpr char kClientIpv4[] = "10.77.0.1";

  // Runs fn on a new thread inside the namespace and waits for it; threads
  // fn starts are inside it too. False when the namespace cannot be
  // entered (fn then does not run).
  static bool RunIn(const std::string& netns, const std::function<void()>& fn);

  // Moves the calling thread into the namespace until the object goes
  // away (threads it starts meanwhile are inside too). For code that must
  // run on a given thread, such as windows on the GUI thread.
  class Inside {
   public:
    explicit Inside(const std::string& netns);
    ~Inside();
    Inside(const Inside&) = delete;
    Inside& operator=(const Inside&) = delete;
    bool entered() const { return entered_; }

   private:
    int home_ = -1;  // the namespace to go back to
    bool entered_ = false;
  };

 private:
  TestNetwork() = default;
  bool Build(int devices, std::string* why);
  std::vector<std::string> names_;  // client, devices..., bridge last
  std::vector<std::string> made_;
};

}  // namespace finder::testing

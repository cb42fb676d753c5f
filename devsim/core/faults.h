// Fault injection. A test arms a fault at a named point; the service that
// owns the point takes it on its next hit and misbehaves accordingly. Every
// hit is counted, armed or not, so tests can also check that a request was
// (or was not) made.
//
// Point names: "web.<cgi name>", "ftp.<COMMAND>", "ftp.data", "snmp.<oid>".
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace devsim {

struct Fault {
  enum class Kind { kNone, kFailWith, kDelay, kDropConnection, kHang } kind = Kind::kNone;
  int code = 0;                 // status / reply code / error to answer with
  std::chrono::milliseconds delay{0};
  std::string body;             // replacement reply body, if any
};

// Thread-safe.
class FaultPlan {
 public:
  // Arms fault `f` at point `where` for the next `times` hits (-1 = always).
  // Arming again replaces what was armed there.
  void Arm(std::string where, Fault f, int times = 1);
  // Takes the fault armed at `where` (kNone if none); counts hits.
  Fault Take(std::string_view where);
  int Hits(std::string_view where) const;
  // Disarms everything and forgets the hit counts.
  void Clear();

 private:
  struct Armed {
    Fault fault;
    int remaining = 0;          // -1 = for ever
  };
  mutable std::mutex mu_;
  std::map<std::string, Armed, std::less<>> armed_;
  std::map<std::string, int, std::less<>> hits_;
};

}  // namespace devsim

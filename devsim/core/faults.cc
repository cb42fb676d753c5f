#include "devsim/core/faults.h"

namespace devsim {

void FaultPlan::Arm(std::string where, Fault f, int times) {
  std::lock_guard lock(mu_);
  if (times == 0) {
    armed_.erase(where);
    return;
  }
  armed_[std::move(where)] = Armed{std::move(f), times < 0 ? -1 : times};
}

Fault FaultPlan::Take(std::string_view where) {
  std::lock_guard lock(mu_);
  auto hit = hits_.find(where);
  if (hit == hits_.end()) hit = hits_.emplace(std::string(where), 0).first;
  ++hit->second;
  auto it = armed_.find(where);
  if (it == armed_.end()) return Fault{};
  Fault f = it->second.fault;
  if (it->second.remaining > 0 && --it->second.remaining == 0) armed_.erase(it);
  return f;
}

int FaultPlan::Hits(std::string_view where) const {
  std::lock_guard lock(mu_);
  auto it = hits_.find(where);
  return it == hits_.end() ? 0 : it->second;
}

void FaultPlan::Clear() {
  std::lock_guard lock(mu_);
  armed_.clear();
  hits_.clear();
}

}  // namespace devsim

#include "finder/product_definition.h"

namespace finder {

int32_t CResIDs::ResourceId(std::string_view name) const {
  auto it = ids_.find(name);
  return it == ids_.end() ? kMissing : it->second;
}

const FindEntry* CResIDs::Find(std::string_view name) const {
  auto it = finds_.find(name);
  return it == finds_.end() ? nullptr : &it->second;
}

std::string CChecks::Value(std::string_view name) const {
  auto it = values_.find(name);
  return it == values_.end() ? std::string() : it->second;
}

void CProducts::Add(COID product) {
  if (auto old = by_key_.find(product.key); old != by_key_.end()) {
    auto id = key_of_id_.find(old->second.id);
    if (id != key_of_id_.end() && id->second == old->first) key_of_id_.erase(id);
  }
  key_of_id_[product.id] = product.key;
  std::string key = product.key;
  by_key_[std::move(key)] = std::move(product);
}

bool CProducts::AnyEnabledAndChecked() const {
  for (const auto& [key, p] : by_key_)
    if (p.enabled && p.checked) return true;
  return false;
}

bool CProducts::AnyEnabledCheckedAndFound() const {
  for (const auto& [key, p] : by_key_)
    if (p.enabled && p.checked && p.found) return true;
  return false;
}

COID* CProducts::ForSysObjectId(std::string_view sys_object_id) {
  for (auto& [key, p] : by_key_) {
    if (!p.enabled || !p.checked) continue;
    if (!p.id.empty() && sys_object_id.find(p.id) != std::string_view::npos)
      return &p;
    p.found = false;
  }
  return nullptr;
}

const COID* CProducts::Primary() const {
  const COID* last = nullptr;
  for (const auto& [key, p] : by_key_) {
    if (p.enabled && p.priority == 0) return &p;
    last = &p;
  }
  return last;
}

void CProducts::ClearFound() {
  for (auto& [key, p] : by_key_) p.found = false;
}

std::vector<const COID*> CProducts::List() const {
  std::vector<const COID*> out;
  out.reserve(by_key_.size());
  for (const auto& [key, p] : by_key_) out.push_back(&p);
  return out;
}

COID* CProducts::ByKey(std::string_view key) {
  auto it = by_key_.find(key);
  return it == by_key_.end() ? nullptr : &it->second;
}

const COID* CProducts::ById(std::string_view id) const {
  auto it = key_of_id_.find(id);
  if (it == key_of_id_.end()) return nullptr;
  auto p = by_key_.find(it->second);
  return p == by_key_.end() ? nullptr : &p->second;
}

CDiscoveryModule& CDiscoveryModule::Instance() {
  // One per process, for every entry point and dialog of the library.
  static CDiscoveryModule module;
  return module;
}

void CDiscoveryModule::Clear() { *this = CDiscoveryModule(); }

bool CDiscoveryModule::DeclaresSnmpV3() const {
  return checks_.Value(kCheckSnmp) == kSnmpV3Declared;
}

bool CDiscoveryModule::DeclaresCommunityName() const {
  return generic_.ResourceId(kResCommunityName) == 1;
}

}  // namespace finder

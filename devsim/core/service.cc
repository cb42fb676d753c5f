#include "devsim/core/service.h"

#include <map>
#include <mutex>

namespace devsim {
namespace {

// Filled during static initialisation of the service libraries, so it must
// be constructed on first use rather than as a global.
struct Registry {
  std::mutex mu;
  std::map<std::string, ServiceFactory, std::less<>> factories;
};

Registry& GetRegistry() {
  static Registry* registry = new Registry;  // never destroyed: used at exit
  return *registry;
}

}  // namespace

void RegisterService(std::string name, ServiceFactory factory) {
  Registry& r = GetRegistry();
  std::lock_guard lock(r.mu);
  r.factories[std::move(name)] = std::move(factory);
}

std::vector<std::string> RegisteredServices() {
  Registry& r = GetRegistry();
  std::lock_guard lock(r.mu);
  std::vector<std::string> names;
  for (const auto& [name, factory] : r.factories) names.push_back(name);
  return names;
}

std::unique_ptr<Service> CreateService(std::string_view name) {
  ServiceFactory factory;
  {
    Registry& r = GetRegistry();
    std::lock_guard lock(r.mu);
    auto it = r.factories.find(name);
    if (it == r.factories.end()) return nullptr;
    factory = it->second;
  }
  return factory();
}

}  // namespace devsim

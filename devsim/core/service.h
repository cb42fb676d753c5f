// A service of the simulated device (web, FTP, SNMP). Services register a
// factory at static-initialisation time; a Device creates one instance of
// each it runs.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

class Device;

class Service {
 public:
  virtual ~Service() = default;
  virtual std::string_view name() const = 0;
  // Binds on device.address() and starts serving; returns false with *error.
  // When Start returns true the service accepts requests.
  virtual bool Start(Device& device, std::string* error) = 0;
  virtual void Stop() = 0;    // idempotent; joins its threads
};

using ServiceFactory = std::function<std::unique_ptr<Service>()>;

// Registering a name twice replaces the earlier factory.
void RegisterService(std::string name, ServiceFactory factory);
// Sorted by name.
std::vector<std::string> RegisteredServices();
// A new instance, or null for an unknown name.
std::unique_ptr<Service> CreateService(std::string_view name);

namespace internal {
struct ServiceRegistration {
  ServiceRegistration(const char* name, ServiceFactory factory) {
    RegisterService(name, std::move(factory));
  }
};
}  // namespace internal

}  // namespace devsim

// In the service's .cc, at namespace scope:
//   DEVSIM_REGISTER_SERVICE(web, WebService)
// The library holding it must be linked whole-archive (devsim_services
// does that) or the registration is dropped by the linker.
#define DEVSIM_REGISTER_SERVICE(name, Class)                             \
  static const ::devsim::internal::ServiceRegistration                   \
      devsim_service_registration_##name(                                \
          #name, [] { return std::unique_ptr<::devsim::Service>(new Class()); })

// libFuzzer target: the texts the discovery takes from people and files
// (IPv6 and IPv4 addresses typed into its dialogs, the stored column order,
// the INI files of the time-out and the column fallback, the product
// definition in XML) are read without crashing, and what is accepted
// keeps its meaning when written back. The first byte picks the reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

#include "finder/column_order.h"
#include "finder/ipv6_text.h"
#include "finder/network.h"
#include "finder/product_definition.h"
#include "finder/snmp_settings.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void Ipv6(std::string_view text) {
  const bool valid = finder::IsValidIpv6Text(text);
  auto full = finder::FullIpv6(text);
  Check(valid == full.has_value());
  if (!full) return;
  Check(full->size() == finder::kIpv6TextMax);
  auto compressed = finder::CompressIpv6(*full);
  Check(compressed.has_value());
  Check(finder::FullIpv6(*compressed) == full);
  finder::IsZeroIpv6(text);
  finder::IsAllOnesIpv6(text);
}

void Ipv4(std::string_view text) {
  auto a = finder::ParseIpv4(text);
  if (a) Check(finder::ParseIpv4(finder::Ipv4Text(*a)) == a);
}

void ColumnOrder(std::string_view text) {
  auto order = finder::ParseColumnOrder(text);
  if (order) Check(finder::ColumnOrderText(*order) == text);
}

// A folder of this run for the files the readers open.
const std::string& Folder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("ZELT_TEMP_DIR");
    std::string f = std::string(tmp ? tmp : "/tmp") + "/finder_input_fuzz." +
                    std::to_string(getpid());
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}

std::string Scratch(std::string_view data, const char* name) {
  std::string path = Folder() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(data.data(), static_cast<std::streamsize>(data.size()));
  return path;
}

void Ini(std::string_view data) {
  const std::string path = Scratch(data, "finderconf.ini");
  finder::ReadIniValue(path, "BroadcastTimeout", "TimeoutValue");
  // The registry holds no order here: the fallback file decides.
  Check(std::filesystem::path(finder::ColumnOrderStore("Fuzz", Folder()).file()) ==
        std::filesystem::path(path));
  auto order = finder::ColumnOrderStore("Fuzz", Folder()).Read();
  Check(finder::ParseColumnOrder(finder::ColumnOrderText(order)) == order);
  std::remove(path.c_str());
}

void Xml(std::string_view data) {
  const std::string path = Scratch(data, "definition.xml");
  finder::CDiscoveryModule module;
  std::string message;
  if (module.LoadXml(path, &message)) {
    finder::CDiscoveryModule again;
    Check(again.ReadArchive(module.StoreArchive()));
  } else {
    Check(!message.empty());
  }
  std::remove(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 5) {
    case 0: Ipv6(text); break;
    case 1: Ipv4(text); break;
    case 2: ColumnOrder(text); break;
    case 3: Ini(text); break;
    default: Xml(text); break;
  }
  return 0;
}

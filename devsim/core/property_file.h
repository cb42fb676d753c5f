// Writing the storage layout's property files: "BoxDocument" with one child
// element per property, in a fixed order.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace devsim {

using PropertyList = std::vector<std::pair<std::string, std::string>>;

enum class PropertyNamespace { kSchemaInstance, kSchema };

bool WritePropertyFile(const std::filesystem::path& file, PropertyNamespace ns,
                       const PropertyList& properties, std::string* error);

}  // namespace devsim

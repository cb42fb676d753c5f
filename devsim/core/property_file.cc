#include "devsim/core/property_file.h"

#include <pugixml.hpp>

#include "devsim/core/box_store.h"

namespace devsim {
namespace {

constexpr unsigned kSaveFlags = pugi::format_default;

}  // namespace

bool WritePropertyFile(const std::filesystem::path& file, PropertyNamespace ns,
                       const PropertyList& properties, std::string* error) {
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = doc.append_child("BoxDocument");
  if (ns == PropertyNamespace::kSchemaInstance)
    root.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
  else
    root.append_attribute("xmlns:xs") = "http://www.w3.org/2001/XMLSchema";
  for (const auto& [name, value] : properties)
    root.append_child(name.c_str()).text().set(value.c_str());
  if (!doc.save_file(file.c_str(), "  ", kSaveFlags, pugi::encoding_utf8)) {
    if (error) *error = "cannot write " + file.string();
    return false;
  }
  return true;
}

std::optional<std::string> ReadPropertyElement(const std::filesystem::path& file,
                                               std::string_view element) {
  pugi::xml_document doc;
  if (!doc.load_file(file.c_str())) return std::nullopt;
  pugi::xml_node node = doc.child("BoxDocument").child(std::string(element).c_str());
  if (!node) return std::nullopt;
  return std::string(node.text().get());
}

bool WritePropertyElement(const std::filesystem::path& file, std::string_view element,
                          std::string_view value, std::string* error) {
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_file(file.c_str(), pugi::parse_default | pugi::parse_declaration);
  pugi::xml_node root = doc.child("BoxDocument");
  if (!parsed || !root) {
    if (error) *error = file.string() + ": not a property file";
    return false;
  }
  std::string name(element);
  pugi::xml_node node = root.child(name.c_str());
  if (!node) node = root.append_child(name.c_str());
  node.text().set(std::string(value).c_str());
  if (!doc.save_file(file.c_str(), "  ", kSaveFlags, pugi::encoding_utf8)) {
    if (error) *error = "cannot write " + file.string();
    return false;
  }
  return true;
}

}  // namespace devsim

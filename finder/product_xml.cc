// The XML form of the product definition:
//
//   <MDISCOVERY>                      (or DISCOVERY: the older form)
//     <Module Key="ZELT">
//       <GenericResIDs><Res ID="SNMPCOMMNAME" Val="1"/>...</GenericResIDs>
//       <TYPEx32bit><LangDLLPath32>finderlang</LangDLLPath32></TYPEx32bit>
//       <Products>
//         <Product ID="1.3.6..." ModelType="1" DriverTypes="a:b" ...>
//           <SpecificResIDs><Res ID="FIND" Val="..." FindPrefix="1"
//                                SeriesSuffix="0"/></SpecificResIDs>
//         </Product>
//       </Products>
//       <Checks><Check ID="SNMP" Val="v1:v2:v3"/>...</Checks>
//     </Module>
//   </MDISCOVERY>
//
// Element names of the group members are not examined; group and root
// names compare without regard to case.
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <pugixml.hpp>

#include "finder/product_definition.h"
#include "platform/text.h"

namespace finder {
namespace {

bool Named(const pugi::xml_node& node, std::string_view name) {
  return platform::EqualsIgnoreCase(node.name(), name);
}

// A decimal number as the C library reads one: leading blanks and sign,
// digits up to the first other character; 0 when there are none. Values
// beyond 32 bits are clamped.
int32_t DecimalOf(const char* text) {
  errno = 0;
  long long v = std::strtoll(text, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

bool TrueOf(const pugi::xml_attribute& a) {
  return platform::EqualsIgnoreCase(a.as_string(), "TRUE");
}

std::vector<std::string> SplitColons(std::string_view text) {
  std::vector<std::string> out;
  if (text.empty()) return out;
  size_t start = 0;
  for (;;) {
    size_t colon = text.find(':', start);
    out.emplace_back(text.substr(start, colon - start));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  return out;
}

COID ProductOf(const pugi::xml_node& node, bool new_format) {
  COID p;
  p.id = node.attribute("ID").as_string();
  p.model_type = DecimalOf(node.attribute("ModelType").as_string());
  p.driver_types = SplitColons(node.attribute("DriverTypes").as_string());
  p.supported_drivers_res_ids =
      SplitColons(node.attribute("SupportedDriversResIDs").as_string());
  p.enabled = TrueOf(node.attribute("Enabled"));
  p.def_checked = TrueOf(node.attribute("DefChecked"));
  p.checked = TrueOf(node.attribute("Checked"));
  p.found = TrueOf(node.attribute("Found"));
  p.priority = DecimalOf(node.attribute("Priority").as_string());
  p.family = DecimalOf(node.attribute("Family").as_string());
  p.key = node.attribute("Key").as_string();
  for (const pugi::xml_node& group : node.children()) {
    if (group.type() != pugi::node_element || !Named(group, "SpecificResIDs"))
      continue;
    for (const pugi::xml_node& res : group.children()) {
      if (res.type() != pugi::node_element) continue;
      std::string name = res.attribute("ID").as_string();
      if (new_format) {
        p.specific.SetFind(std::move(name),
                           {res.attribute("FindPrefix").as_string(),
                            res.attribute("SeriesSuffix").as_string(),
                            res.attribute("Val").as_string()});
      } else {
        p.specific.Set(std::move(name), DecimalOf(res.attribute("Val").as_string()));
      }
    }
  }
  return p;
}

}  // namespace

bool CDiscoveryModule::LoadXml(const std::string& path, std::string* message) {
  Clear();
  pugi::xml_document doc;
  if (!doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto)) {
    *message = kXmlLoadFailed;
    return false;
  }
  pugi::xml_node root = doc.document_element();
  if (Named(root, "MDISCOVERY")) {
    new_format_ = true;
  } else if (!Named(root, "DISCOVERY")) {
    *message = kXmlDataFailed;
    return false;
  }
  pugi::xml_node module;
  for (const pugi::xml_node& child : root.children())
    if (child.type() == pugi::node_element && Named(child, "Module")) {
      module = child;
      break;
    }
  if (!module) {
    *message = kXmlDataFailed;
    return false;
  }
  module_type_ = module.attribute("Key").as_string();
  for (const pugi::xml_node& group : module.children()) {
    if (group.type() != pugi::node_element) continue;
    if (Named(group, "GenericResIDs")) {
      for (const pugi::xml_node& res : group.children())
        if (res.type() == pugi::node_element)
          generic_.Set(res.attribute("ID").as_string(),
                       DecimalOf(res.attribute("Val").as_string()));
    } else if (Named(group, "TYPEx32bit")) {
      for (const pugi::xml_node& child : group.children())
        if (child.type() == pugi::node_element && Named(child, "LangDLLPath32"))
          language_library_ = child.text().as_string();
    } else if (Named(group, "Products")) {
      for (const pugi::xml_node& product : group.children())
        if (product.type() == pugi::node_element)
          products_.Add(ProductOf(product, new_format_));
    } else if (Named(group, "Checks")) {
      for (const pugi::xml_node& check : group.children())
        if (check.type() == pugi::node_element)
          checks_.Set(check.attribute("ID").as_string(),
                      check.attribute("Val").as_string());
    }
  }
  return true;
}

}  // namespace finder

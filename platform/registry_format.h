// The in-memory tree of a registry root and its text form.
//
// The text form follows registry exports:
//
//   [HKEY_CURRENT_USER\Software\TALLIS\Corvane TALLIS Client\BRD]
//   "Lock"=dword:00000001
//   "Folder"="C:\\Backups"
//   "Key"=hex:01,02,ff
//   @="the key's default value"
//
// Strings are UTF-8 with \\, \", \n and \r escaped, so that every value
// stays on one line.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace platform {

struct RegNode {
  std::string name;  // as created
  // Keyed by lower-case name; the pair holds the name as created.
  std::map<std::string, std::pair<std::string, RegValue>> values;
  std::map<std::string, RegNode> children;
};

const RegNode* FindNode(const RegNode& root,
                        const std::vector<std::string>& path);
RegNode* FindNode(RegNode& root, const std::vector<std::string>& path);
RegNode& MakeNode(RegNode& root, const std::vector<std::string>& path);

// `root_name` heads every section ("HKEY_CURRENT_USER"); sections of other
// roots and lines that cannot be read are skipped.
void ParseRegistryText(std::string_view text, std::string_view root_name,
                       RegNode* root);
std::string FormatRegistryText(const RegNode& root, std::string_view root_name);

}  // namespace platform

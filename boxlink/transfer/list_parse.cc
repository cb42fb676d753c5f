#include "boxlink/transfer/list_parse.h"

#include <algorithm>
#include <cstring>

namespace boxlink::transfer {

FtpFindData NamedEntry(std::string_view name, bool folder) {
  FtpFindData d;
  // The second family's entries carry the name alone; the folder bit is
  // set so that callers that test it see what the listing said.
  d.attributes = folder ? inet::kFileAttributeDirectory : 0;
  size_t n = std::min(name.size(), sizeof d.name - 1);
  std::memcpy(d.name, name.data(), n);
  return d;
}

void ClearLists(FindDataList* folders, FindDataList* files) {
  if (folders) folders->clear();
  if (files) files->clear();
}

void AddEntry(const FtpFindData& entry, FindDataList* folders,
              FindDataList* files) {
  FindDataList* list = entry.is_folder() ? folders : files;
  if (list) list->push_back(entry);
}

void ParseBriskListAnswer(std::string_view text, FindDataList* folders,
                          FindDataList* files) {
  size_t first = text.find('\n');
  if (first == std::string_view::npos) return;
  text.remove_prefix(std::min(text.size(), first + 2));
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    size_t sp = line.rfind(' ');
    std::string_view name =
        sp == std::string_view::npos ? line : line.substr(sp + 1);
    bool is_file = name.size() >= 4 && name[name.size() - 4] == '.';
    AddEntry(NamedEntry(name, !is_file), folders, files);
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
}

bool ParseOrielNameListLine(std::string_view line, bool marker_rule, int* kind,
                            std::string* name) {
  *kind = 0;
  if (line.empty()) return true;
  if (line[0] != 'd' && line[0] != '-') return true;
  if (marker_rule) {
    size_t end = line.find_last_not_of(':');
    if (end == std::string_view::npos) return true;
    size_t colon = line.rfind(':');
    size_t space = colon == std::string_view::npos
                       ? std::string_view::npos
                       : line.find(' ', colon);
    if (space == std::string_view::npos)
      *name = std::string(line.substr(0, end + 1));
    else
      *name = space + 1 > end ? std::string()
                              : std::string(line.substr(space + 1, end - space));
  } else {
    size_t pos = 0;
    for (int field = 0; field < 8; ++field) {
      while (pos < line.size() && line[pos] == ' ') ++pos;
      if (pos >= line.size()) return false;
      while (pos < line.size() && line[pos] != ' ') ++pos;
    }
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos >= line.size()) return false;
    *name = std::string(line.substr(pos));
  }
  bool folder = line[0] == 'd';
  if (folder && (*name == "." || *name == "..")) return true;
  *kind = folder ? 1 : 2;
  return true;
}

bool ParseBriskNameListLine(std::string_view line, bool* folder,
                            std::string* name) {
  if (line.size() <= 56) return false;
  *name = std::string(line.substr(56));
  if (name->empty()) return false;
  *folder = line[0] == 'd';
  return true;
}

}  // namespace boxlink::transfer

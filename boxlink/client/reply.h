// Reading device replies and archive index files.
//
// Every CGI answers with a small XML document of root BoxNwLib; the archive
// index files are XML too. A reply is loaded from memory into a
// ReplyDocument, and values are read by element path ("BoxNwLib/Message/
// Result", always from the root element, first match wins).
//
// Missing nodes are reported in two ways, as the callers expect them: the
// "returning" operations give 11 as their result, the "raising" ones throw
// BoxError(11). Texts are cut at the capacity of the caller's field and
// always NUL-terminated.
//
// List items ("BoxNwLib/Message/Boxes/BoxProp" with an index) are found
// through a node list that is evaluated once per path and kept with the
// document, so that reading every field of n items costs O(n), not O(n^2).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "platform/calendar.h"

namespace boxlink {

class ReplyDocument {
 public:
  // The document, or null with the thread's last error set to 11 when the
  // bytes are not a well-formed XML document. Nothing external (entities,
  // DTDs) is ever fetched.
  static std::unique_ptr<ReplyDocument> Load(std::string_view bytes);
  // The same from a file; also keeps what is needed to save it back in its
  // own encoding with its own formatting.
  static std::unique_ptr<ReplyDocument> LoadFile(const std::string& path);

  // First node at the path: an element, or an attribute node for paths
  // ending in "@name". Null when there is none or the path is not valid.
  pugi::xpath_node Select(std::string_view path) const;
  // All matching nodes in document order; kept for later calls.
  const std::vector<pugi::xml_node>& SelectList(std::string_view path);

  // Text of a node: an element's text content (all its text, CDATA
  // included), an attribute's value. nullopt when the node is missing.
  std::optional<std::string> Text(std::string_view path) const;
  std::optional<std::string> Attribute(std::string_view path,
                                       std::string_view name) const;
  // The item's child element or attribute; null when either is missing.
  pugi::xml_node ItemChild(std::string_view item_path, size_t index,
                           std::string_view child);
  pugi::xml_attribute ItemAttribute(std::string_view item_path, size_t index,
                                    std::string_view name);

  // Saves back to the file it was loaded from, atomically. False on failure.
  bool SaveToFile(const std::string& path) const;

  pugi::xml_document& doc() { return doc_; }
  const pugi::xml_document& doc() const { return doc_; }

 private:
  ReplyDocument() = default;
  static std::unique_ptr<ReplyDocument> Parse(std::string_view bytes,
                                              unsigned flags);
  pugi::xml_document doc_;
  std::map<std::string, std::vector<pugi::xml_node>, std::less<>> lists_;
  // For SaveToFile: the character set the file was written in.
  std::string source_encoding_ = "UTF-8";
  bool source_bom_ = false;
};

// The text content of an element, or the value of an attribute.
std::string NodeText(const pugi::xml_node& node);
std::string NodeText(const pugi::xpath_node& node);
// Reads a decimal integer the way the C library does: leading white space,
// an optional sign, digits up to the first other character; no digits
// reads as 0. Values beyond 32 bits saturate.
int32_t ParseDecimal(std::string_view text);

// --- Returning operations: 0, or 11 when the node is missing. Output in the
// system code page.
uint32_t GetNodeText(const ReplyDocument& doc, std::string_view path,
                     char* out, size_t capacity);
uint32_t GetChildText(const ReplyDocument& doc, std::string_view parent,
                      std::string_view child, char* out, size_t capacity);
uint32_t GetNodeAttribute(const ReplyDocument& doc, std::string_view path,
                          std::string_view name, char* out, size_t capacity);

// --- Raising operations: BoxError(11) when the node is missing.
int32_t GetChildNumber(const ReplyDocument& doc, std::string_view parent,
                       std::string_view child);
void GetChildTime(const ReplyDocument& doc, std::string_view parent,
                  std::string_view child, platform::SystemTime* out,
                  bool local);
int32_t GetNodeAttributeNumber(const ReplyDocument& doc, std::string_view path,
                               std::string_view name);
// UTF-8 output.
void GetItemChildText(ReplyDocument& doc, std::string_view item_path,
                      size_t index, std::string_view child, char* out,
                      size_t capacity);
int32_t GetItemChildNumber(ReplyDocument& doc, std::string_view item_path,
                           size_t index, std::string_view child);
void GetItemChildWideText(ReplyDocument& doc, std::string_view item_path,
                          size_t index, std::string_view child, char16_t* out,
                          size_t capacity);
void GetItemChildTime(ReplyDocument& doc, std::string_view item_path,
                      size_t index, std::string_view child,
                      platform::SystemTime* out, bool local);
// Code-page output.
void GetItemAttribute(ReplyDocument& doc, std::string_view item_path,
                      size_t index, std::string_view name, char* out,
                      size_t capacity);
int32_t GetItemAttributeNumber(ReplyDocument& doc, std::string_view item_path,
                               size_t index, std::string_view name);

// --- Changing operations.
// Mode 1 copies the node's text (UTF-16) into out and leaves the file
// alone; any other mode replaces the node's text with new_text and saves the
// file. 0, or 11 when the file does not load or the node is missing (the
// last error is then 11 too).
uint32_t FileNodeText(const std::string& file, std::string_view path,
                      std::u16string_view new_text, int mode, char16_t* out,
                      size_t capacity);
// Replaces the node's text with value (system code page). 0, or 11.
uint32_t SetNodeText(ReplyDocument& doc, std::string_view path,
                     std::string_view value);

// Seconds since 1970 as the calendar time the replies mean: UTC, or local
// time when `local` is set and the value is not 0.
platform::SystemTime ReplySecondsToTime(int32_t seconds, bool local);
// Converts a UTC calendar time to local time in place by the zone's rules;
// with daylight 0 the zone's daylight bias is added afterwards. A time the
// conversion refuses stays as it was.
void UtcToLocalTime(platform::SystemTime* time, bool daylight);

}  // namespace boxlink

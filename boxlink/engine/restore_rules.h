// The pure rules of a restore: clash naming, renumbering, the free-space
// comparison, target compatibility and the last-access rewrites of the
// unpacked tree. Kept apart from CRestore so each can be checked alone.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace boxlink {

// "%s-%03lu" over the first 60 UTF-16 units of name (a cut never leaves
// half of a surrogate pair).
std::u16string NumberedName(std::u16string_view name, unsigned long n);
// The first NumberedName(name, 1, 2, ...) for which taken() is false.
std::u16string FreeNumberedName(std::u16string_view name,
                                const std::function<bool(std::u16string_view)>& taken);

// New numbers for local documents merged beside device documents, in scan
// order. The first local number free on the device is kept; the others
// take the smallest free numbers from 1 up. Numbers already handed out are
// skipped as well, so two restored documents never share one item folder.
std::vector<uint32_t> RenumberDocuments(const std::vector<uint32_t>& local,
                                        const std::set<uint32_t>& device);
// Local folders keep numbers the device does not use; the rest take the
// smallest positive numbers used neither by the device nor by those kept.
std::vector<uint32_t> RenumberFolders(const std::vector<uint32_t>& local,
                                      const std::set<uint32_t>& device);

// The device reports small free space in a larger unit: below 1024 the
// needed amount is scaled by 1024 before comparing.
bool EnoughSpace(uint32_t free_space, uint32_t needed);

// Whether an archive made on archive_version may go to target_version;
// false is the 50 of an incompatible target.
bool CompatibleTarget(std::string_view archive_version, std::string_view target_version);

// Big-endian bytes of t, as item files hold times.
std::string BigEndian(uint32_t t);

// Item and property files larger than a device writes them (1 MiB) are
// not read: they count as unreadable.

// Item files of the shared and classic layouts.
inline constexpr size_t kItemNameBytes = 146;  // own name + display name
inline constexpr size_t kItemAccessAt = 148;
// Writes the four bytes at 148; false when the file is shorter than 152.
bool WriteItemLastAccess(const std::string& path, std::string_view be_time);
// Rewrites the first 146 bytes: 8-byte own name, zero, UTF-16LE name from
// byte 9 (at most 128 bytes), zeros.
bool WriteItemNames(const std::string& path, std::string_view own_name,
                    std::u16string_view display_name);
bool WriteItemOwnName(const std::string& path, std::string_view own_name);
// Reads own name and display name of an item file.
bool ReadItemFile(const std::string& path, std::string* own_name,
                  std::u16string* display_name);

// Property files of the storage layout, read and changed through the XML
// document so that their declaration, namespaces and other elements stay
// as the device wrote them. Names longer than a device allows are cut at
// kPropertyTextChars - 1 UTF-16 units.
inline constexpr size_t kPropertyTextChars = 1024;
// The text of BoxDocument/<element>; nullopt when the file does not load or
// lacks the element.
std::optional<std::u16string> ReadPropertyElement(const std::string& path,
                                                 std::string_view element);
// Replaces that text and saves the file; false when the file does not load,
// lacks the element or cannot be written.
bool RewritePropertyFile(const std::string& path, std::string_view element,
                         std::u16string_view value);

}  // namespace boxlink

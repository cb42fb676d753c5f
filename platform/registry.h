// The registry: per-user and machine-wide trees of keys holding named
// string, 32-bit and binary values.
//
// Key paths use backslashes ("Software\TALLIS\Corvane TALLIS Client\BRD");
// key and value names compare without regard to case and keep the case they
// were created with. Each root is one human-readable text file in the style
// of a registry export. Every change reads the file afresh, applies itself
// and replaces the file atomically (temporary file and rename) under a file
// lock, so that processes writing at once never lose each other's changes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

enum class RegRoot { kCurrentUser, kLocalMachine };

enum class RegType : uint32_t { kString = 1, kBinary = 3, kDword = 4 };

struct RegValue {
  RegType type = RegType::kString;
  std::string text;            // kString, UTF-8
  uint32_t dword = 0;          // kDword
  std::vector<uint8_t> bytes;  // kBinary

  static RegValue String(std::string_view s) {
    RegValue v;
    v.type = RegType::kString;
    v.text = s;
    return v;
  }
  static RegValue Dword(uint32_t d) {
    RegValue v;
    v.type = RegType::kDword;
    v.dword = d;
    return v;
  }
  static RegValue Binary(std::vector<uint8_t> b) {
    RegValue v;
    v.type = RegType::kBinary;
    v.bytes = std::move(b);
    return v;
  }
  bool operator==(const RegValue&) const = default;
};

class Registry;

// Watches one key and everything below it for changes.
class RegistryWatch {
 public:
  // True when the key's subtree differs from what it was when the watch was
  // made or when Wait last returned true; false when the time-out passed.
  bool Wait(uint32_t timeout_ms);

 private:
  friend class Registry;
  RegistryWatch(Registry* reg, RegRoot root, std::string key);
  Registry* reg_;
  RegRoot root_;
  std::string key_;
  std::string snapshot_;
};

class Registry {
 public:
  Registry(std::string user_file, std::string machine_file);
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  const std::string& FileOf(RegRoot root) const;

  bool KeyExists(RegRoot root, std::string_view key);
  // Creates the key and any missing parents. False when the file cannot be
  // written.
  bool CreateKey(RegRoot root, std::string_view key);
  // Removes the key with all subkeys and values. False when it is missing.
  bool DeleteKeyTree(RegRoot root, std::string_view key);

  std::optional<RegValue> GetValue(RegRoot root, std::string_view key,
                                   std::string_view name);
  // Creates the key when needed.
  bool SetValue(RegRoot root, std::string_view key, std::string_view name,
                const RegValue& value);
  bool DeleteValue(RegRoot root, std::string_view key, std::string_view name);

  // Names as created, in the order the file keeps them (sorted ignoring
  // case). Empty when the key is missing.
  std::vector<std::string> EnumSubKeys(RegRoot root, std::string_view key);
  std::vector<std::pair<std::string, RegValue>> EnumValues(
      RegRoot root, std::string_view key);

  std::unique_ptr<RegistryWatch> Watch(RegRoot root, std::string_view key);

  // The text form of a key's subtree; empty when it does not exist.
  std::string SubtreeText(RegRoot root, std::string_view key);

  struct RootState;  // one root's file, cached tree and change count

 private:
  friend class RegistryWatch;
  struct Tree;
  template <typename Fn>
  auto Read(RegRoot root, Fn&& fn);
  template <typename Fn>
  bool Modify(RegRoot root, Fn&& fn);
  RootState& State(RegRoot root);

  std::unique_ptr<RootState> user_;
  std::unique_ptr<RootState> machine_;
};

// A key opened the way a program opens one: for reading, or for reading and
// writing. Writing through a key opened for reading fails.
class RegKey {
 public:
  enum Access { kRead, kReadWrite };

  // The key when it exists.
  static std::optional<RegKey> Open(Registry& reg, RegRoot root,
                                    std::string_view path,
                                    Access access = kRead);
  // The key, created when missing; nullopt when it cannot be created.
  static std::optional<RegKey> Create(Registry& reg, RegRoot root,
                                      std::string_view path);

  std::optional<std::string> GetString(std::string_view name) const;
  // Reads any value into 32 bits, as the library does ("no type check"): a
  // dword as it is, the first four bytes of a binary value, a string by its
  // first four bytes. nullopt when the value is absent.
  std::optional<uint32_t> GetDword(std::string_view name) const;
  std::optional<RegValue> Get(std::string_view name) const;

  bool SetString(std::string_view name, std::string_view value);
  bool SetDword(std::string_view name, uint32_t value);
  bool Set(std::string_view name, const RegValue& value);
  bool DeleteValue(std::string_view name);
  bool DeleteSubKeyTree(std::string_view subkey);

  std::vector<std::string> SubKeys() const;
  std::vector<std::pair<std::string, RegValue>> Values() const;

  const std::string& path() const { return path_; }

 private:
  RegKey(Registry& reg, RegRoot root, std::string path, Access access)
      : reg_(&reg), root_(root), path_(std::move(path)), access_(access) {}
  Registry* reg_;
  RegRoot root_;
  std::string path_;
  Access access_;
};

// Splits and normalises a key path: no empty components, no leading or
// trailing backslash. Exposed for tests.
std::vector<std::string> SplitKeyPath(std::string_view path);

}  // namespace platform

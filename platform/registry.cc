#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/clock.h"
#include "platform/env.h"
#include "platform/registry_format.h"
#include "platform/text.h"

namespace platform {

struct Registry::Tree {
  RegNode root;
};

struct Registry::RootState {
  std::string file;
  std::string root_name;  // "HKEY_CURRENT_USER"
  // The per-user file is the user's alone; the machine file is written by
  // administrators and read by every user (the installed language, for
  // one), as the machine part of the registry is on the original platform.
  mode_t file_mode = 0600;
  mode_t dir_mode = 0700;
  std::mutex mu;
  std::condition_variable changed_cv;
  uint64_t local_changes = 0;  // changes made by this process
  Tree tree;
  // Identity of the file the tree was read from; a rename by another
  // process gives a new inode.
  bool loaded = false;
  dev_t dev = 0;
  ino_t ino = 0;
  int64_t mtime_ns = -1;
  off_t size = -1;
};

namespace {

bool StatFile(const std::string& path, struct stat* st) {
  return ::stat(path.c_str(), st) == 0;
}

int64_t MtimeNs(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL +
         st.st_mtim.tv_nsec;
}

bool ReadWholeFile(const std::string& path, std::string* out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[8192];
  size_t n;
  out->clear();
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  std::fclose(f);
  return true;
}

bool MakeParentDirs(const std::string& file, mode_t mode) {
  for (size_t pos = 1; (pos = file.find('/', pos)) != std::string::npos;
       ++pos) {
    std::string dir = file.substr(0, pos);
    if (::mkdir(dir.c_str(), mode) == 0) {
      ::chmod(dir.c_str(), mode);  // whatever the umask took away
    } else if (errno != EEXIST) {
      return false;
    }
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& data,
                         mode_t mode) {
  std::string tmp = path + ".tmp." + std::to_string(::getpid()) + "." +
                    std::to_string(reinterpret_cast<uintptr_t>(&data));
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (::fchmod(fd, mode) != 0) {
    ::close(fd);
    ::unlink(tmp.c_str());
    return false;
  }
  size_t off = 0;
  while (off < data.size()) {
    ssize_t w = ::write(fd, data.data() + off, data.size() - off);
    if (w < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    off += static_cast<size_t>(w);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

// Holds the cross-process lock of one registry file.
class FileLock {
 public:
  FileLock(const std::string& file, mode_t dir_mode) {
    if (!MakeParentDirs(file, dir_mode)) return;
    fd_ = ::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Refreshes the cached tree when the file changed (or was removed) since it
// was read.
void Refresh(Registry::RootState& s);

}  // namespace

namespace {
void Refresh(Registry::RootState& s) {
  struct stat st;
  if (!StatFile(s.file, &st)) {
    if (!s.loaded || s.ino != 0) {
      s.tree.root = RegNode{};
      s.loaded = true;
      s.dev = 0, s.ino = 0, s.mtime_ns = -1, s.size = -1;
    }
    return;
  }
  if (s.loaded && st.st_dev == s.dev && st.st_ino == s.ino &&
      MtimeNs(st) == s.mtime_ns && st.st_size == s.size)
    return;
  std::string text;
  RegNode root;
  if (ReadWholeFile(s.file, &text)) ParseRegistryText(text, s.root_name, &root);
  s.tree.root = std::move(root);
  s.loaded = true;
  s.dev = st.st_dev, s.ino = st.st_ino, s.mtime_ns = MtimeNs(st);
  s.size = st.st_size;
}
}  // namespace

std::vector<std::string> SplitKeyPath(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

Registry::Registry(std::string user_file, std::string machine_file)
    : user_(std::make_unique<RootState>()),
      machine_(std::make_unique<RootState>()) {
  user_->file = std::move(user_file);
  user_->root_name = "HKEY_CURRENT_USER";
  machine_->file = std::move(machine_file);
  machine_->root_name = "HKEY_LOCAL_MACHINE";
  machine_->file_mode = 0644;
  machine_->dir_mode = 0755;
}

Registry::~Registry() = default;

Registry::RootState& Registry::State(RegRoot root) {
  return root == RegRoot::kCurrentUser ? *user_ : *machine_;
}

const std::string& Registry::FileOf(RegRoot root) const {
  return root == RegRoot::kCurrentUser ? user_->file : machine_->file;
}

template <typename Fn>
auto Registry::Read(RegRoot root, Fn&& fn) {
  RootState& s = State(root);
  std::lock_guard<std::mutex> g(s.mu);
  Refresh(s);
  return fn(static_cast<const RegNode&>(s.tree.root));
}

template <typename Fn>
bool Registry::Modify(RegRoot root, Fn&& fn) {
  RootState& s = State(root);
  std::lock_guard<std::mutex> g(s.mu);
  FileLock lock(s.file, s.dir_mode);
  if (!lock.ok()) return false;
  s.loaded = false;  // read what the other processes wrote last
  Refresh(s);
  RegNode copy = s.tree.root;
  if (!fn(copy)) return false;
  if (!WriteFileAtomically(s.file, FormatRegistryText(copy, s.root_name),
                           s.file_mode))
    return false;
  s.loaded = false;
  Refresh(s);
  ++s.local_changes;
  s.changed_cv.notify_all();
  return true;
}

bool Registry::KeyExists(RegRoot root, std::string_view key) {
  auto parts = SplitKeyPath(key);
  return Read(root, [&](const RegNode& r) { return FindNode(r, parts); }) !=
         nullptr;
}

bool Registry::CreateKey(RegRoot root, std::string_view key) {
  auto parts = SplitKeyPath(key);
  if (KeyExists(root, key)) return true;
  return Modify(root, [&](RegNode& r) {
    MakeNode(r, parts);
    return true;
  });
}

bool Registry::DeleteKeyTree(RegRoot root, std::string_view key) {
  auto parts = SplitKeyPath(key);
  if (parts.empty()) return false;
  return Modify(root, [&](RegNode& r) {
    std::vector<std::string> parent(parts.begin(), parts.end() - 1);
    RegNode* p = FindNode(r, parent);
    if (!p) return false;
    return p->children.erase(ToLowerAscii(parts.back())) > 0;
  });
}

std::optional<RegValue> Registry::GetValue(RegRoot root, std::string_view key,
                                           std::string_view name) {
  auto parts = SplitKeyPath(key);
  return Read(root, [&](const RegNode& r) -> std::optional<RegValue> {
    const RegNode* n = FindNode(r, parts);
    if (!n) return std::nullopt;
    auto it = n->values.find(ToLowerAscii(name));
    if (it == n->values.end()) return std::nullopt;
    return it->second.second;
  });
}

bool Registry::SetValue(RegRoot root, std::string_view key,
                        std::string_view name, const RegValue& value) {
  auto parts = SplitKeyPath(key);
  return Modify(root, [&](RegNode& r) {
    RegNode& n = MakeNode(r, parts);
    auto& slot = n.values[ToLowerAscii(name)];
    if (slot.first.empty()) slot.first = std::string(name);
    slot.second = value;
    return true;
  });
}

bool Registry::DeleteValue(RegRoot root, std::string_view key,
                           std::string_view name) {
  auto parts = SplitKeyPath(key);
  return Modify(root, [&](RegNode& r) {
    RegNode* n = FindNode(r, parts);
    return n && n->values.erase(ToLowerAscii(name)) > 0;
  });
}

std::vector<std::string> Registry::EnumSubKeys(RegRoot root,
                                               std::string_view key) {
  auto parts = SplitKeyPath(key);
  return Read(root, [&](const RegNode& r) {
    std::vector<std::string> out;
    if (const RegNode* n = FindNode(r, parts))
      for (const auto& [lower, child] : n->children) out.push_back(child.name);
    return out;
  });
}

std::vector<std::pair<std::string, RegValue>> Registry::EnumValues(
    RegRoot root, std::string_view key) {
  auto parts = SplitKeyPath(key);
  return Read(root, [&](const RegNode& r) {
    std::vector<std::pair<std::string, RegValue>> out;
    if (const RegNode* n = FindNode(r, parts))
      for (const auto& [lower, v] : n->values) out.push_back(v);
    return out;
  });
}

std::string Registry::SubtreeText(RegRoot root, std::string_view key) {
  auto parts = SplitKeyPath(key);
  return Read(root, [&](const RegNode& r) {
    const RegNode* n = FindNode(r, parts);
    return n ? FormatRegistryText(*n, "KEY") : std::string();
  });
}

std::unique_ptr<RegistryWatch> Registry::Watch(RegRoot root,
                                               std::string_view key) {
  return std::unique_ptr<RegistryWatch>(
      new RegistryWatch(this, root, std::string(key)));
}

RegistryWatch::RegistryWatch(Registry* reg, RegRoot root, std::string key)
    : reg_(reg),
      root_(root),
      key_(std::move(key)),
      snapshot_(reg->SubtreeText(root, key_)) {}

bool RegistryWatch::Wait(uint32_t timeout_ms) {
  // Changes by this process wake the wait at once; changes by others are
  // seen by looking at the file again every slice.
  constexpr uint32_t kSliceMs = 50;
  Clock& clock = Env::Current()->clock();
  const uint64_t start = clock.NowMillis();
  Registry::RootState& s = reg_->State(root_);
  for (;;) {
    std::string now = reg_->SubtreeText(root_, key_);
    if (now != snapshot_) {
      snapshot_ = std::move(now);
      return true;
    }
    uint64_t waited = clock.NowMillis() - start;
    if (timeout_ms != Clock::kInfinite && waited >= timeout_ms) return false;
    uint32_t slice = kSliceMs;
    if (timeout_ms != Clock::kInfinite)
      slice = static_cast<uint32_t>(
          std::min<uint64_t>(slice, timeout_ms - waited));
    std::unique_lock<std::mutex> lock(s.mu);
    uint64_t seen = s.local_changes;
    clock.WaitFor(s.changed_cv, lock, slice,
                  [&] { return s.local_changes != seen; });
  }
}

std::optional<RegKey> RegKey::Open(Registry& reg, RegRoot root,
                                   std::string_view path, Access access) {
  if (!reg.KeyExists(root, path)) return std::nullopt;
  return RegKey(reg, root, std::string(path), access);
}

std::optional<RegKey> RegKey::Create(Registry& reg, RegRoot root,
                                     std::string_view path) {
  if (!reg.CreateKey(root, path)) return std::nullopt;
  return RegKey(reg, root, std::string(path), kReadWrite);
}

std::optional<RegValue> RegKey::Get(std::string_view name) const {
  return reg_->GetValue(root_, path_, name);
}

std::optional<std::string> RegKey::GetString(std::string_view name) const {
  auto v = Get(name);
  if (!v || v->type != RegType::kString) return std::nullopt;
  return v->text;
}

std::optional<uint32_t> RegKey::GetDword(std::string_view name) const {
  auto v = Get(name);
  if (!v) return std::nullopt;
  if (v->type == RegType::kDword) return v->dword;
  const std::string_view raw =
      v->type == RegType::kString
          ? std::string_view(v->text)
          : std::string_view(reinterpret_cast<const char*>(v->bytes.data()),
                             v->bytes.size());
  uint32_t d = 0;
  std::memcpy(&d, raw.data(), std::min<size_t>(raw.size(), 4));
  return d;
}

bool RegKey::SetString(std::string_view name, std::string_view value) {
  return Set(name, RegValue::String(value));
}

bool RegKey::SetDword(std::string_view name, uint32_t value) {
  return Set(name, RegValue::Dword(value));
}

bool RegKey::Set(std::string_view name, const RegValue& value) {
  if (access_ != kReadWrite) return false;
  return reg_->SetValue(root_, path_, name, value);
}

bool RegKey::DeleteValue(std::string_view name) {
  if (access_ != kReadWrite) return false;
  return reg_->DeleteValue(root_, path_, name);
}

bool RegKey::DeleteSubKeyTree(std::string_view subkey) {
  if (access_ != kReadWrite) return false;
  return reg_->DeleteKeyTree(root_, path_ + "\\" + std::string(subkey));
}

std::vector<std::string> RegKey::SubKeys() const {
  return reg_->EnumSubKeys(root_, path_);
}

std::vector<std::pair<std::string, RegValue>> RegKey::Values() const {
  return reg_->EnumValues(root_, path_);
}

}  // namespace platform

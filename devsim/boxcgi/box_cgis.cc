#include "devsim/boxcgi/box_cgis.h"

#include <algorithm>
#include <functional>
#include <sstream>
#include <vector>

#include <pugixml.hpp>

#include "devsim/core/device.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "standins/cryptocore/crypto_core.h"

namespace devsim {
namespace {

using Params = std::map<std::string, std::string, std::less<>>;

// Result codes the device answers with.
constexpr int kOk = 0;
constexpr int kBadPassword = 2;
constexpr int kBadRequest = 3;
constexpr int kNoSuchPath = 101;
constexpr int kBusy = 203;

constexpr char kServicePassword[] = "rPLANAR604";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint32_t Now() {
  return static_cast<uint32_t>(platform::Env::Current()->clock().UnixTime());
}

std::string Extra(const Profile& p, const std::string& key,
                  std::string fallback) {
  auto it = p.extra.find(key);
  return it == p.extra.end() ? std::move(fallback) : it->second;
}

// Digits of a field: "F0000005" / "D0000005" / "5" -> 5; nullopt otherwise.
std::optional<uint32_t> NumberOf(std::string_view text, char prefix) {
  if (!text.empty() && text.front() == prefix) text.remove_prefix(1);
  if (text.empty() || text.size() > 9) return std::nullopt;
  uint32_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<uint32_t>(c - '0');
  }
  return n;
}

// One reply: the frame every CGI answers with, and the CGI's own fields.
class Reply {
 public:
  Reply(std::string_view version, int result) {
    auto decl = doc_.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    auto root = doc_.append_child("BoxNwLib");
    root.append_child("Header")
        .append_child("Version")
        .text()
        .set(std::string(version).c_str());
    message_ = root.append_child("Message");
    message_.append_child("Result").text().set(result);
  }
  pugi::xml_node message() { return message_; }
  std::string Text() const {
    std::ostringstream out;
    doc_.save(out, "", pugi::format_raw);
    return out.str();
  }

 private:
  pugi::xml_document doc_;
  pugi::xml_node message_;
};

void Add(pugi::xml_node parent, const char* name, std::string_view value) {
  parent.append_child(name).text().set(std::string(value).c_str());
}
void Add(pugi::xml_node parent, const char* name, uint64_t value) {
  parent.append_child(name).text().set(static_cast<unsigned long long>(value));
}

// Dates are kept for the engines that report them (the storage generation
// and the "Series" engines before it).
bool ReportsLastBackupDate(const Profile& p) {
  return p.layout == Layout::kStorage ||
         p.engine_version.find("Series") != std::string::npos;
}

uint64_t KiB(uint64_t bytes) { return (bytes + 1023) / 1024; }

}  // namespace

std::map<std::string, std::string, std::less<>> ParseQuery(
    std::string_view query) {
  Params out;
  while (!query.empty()) {
    size_t amp = query.find('&');
    std::string_view field = query.substr(0, amp);
    size_t eq = field.find('=');
    std::string name(field.substr(0, eq));
    std::string value(eq == std::string_view::npos ? std::string_view()
                                                   : field.substr(eq + 1));
    out.emplace(std::move(name), std::move(value));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return out;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

bool BoxCgiState::exclusive() const {
  std::lock_guard<std::mutex> g(mu_);
  return exclusive_;
}
uint32_t BoxCgiState::exclusive_mode() const {
  std::lock_guard<std::mutex> g(mu_);
  return exclusive_mode_;
}
uint32_t BoxCgiState::exclusive_session() const {
  std::lock_guard<std::mutex> g(mu_);
  return exclusive_session_;
}
std::vector<ClusterChange> BoxCgiState::cluster_changes() const {
  std::lock_guard<std::mutex> g(mu_);
  return cluster_changes_;
}
std::vector<CgiRequest> BoxCgiState::requests() const {
  std::lock_guard<std::mutex> g(mu_);
  return requests_;
}
std::vector<std::string> BoxCgiState::queries(std::string_view path) const {
  std::lock_guard<std::mutex> g(mu_);
  std::vector<std::string> out;
  for (const CgiRequest& r : requests_)
    if (r.path == path) out.push_back(r.query);
  return out;
}
void BoxCgiState::ClearRequests() {
  std::lock_guard<std::mutex> g(mu_);
  requests_.clear();
}
std::vector<uint32_t> BoxCgiState::issued_sessions() const {
  std::lock_guard<std::mutex> g(mu_);
  return issued_sessions_;
}

// The handlers, with what they share.
class BoxCgiExchange {
 public:
  BoxCgiExchange(Device& device, BoxCgiState& state, const CgiRequest& request)
      : device_(device),
        profile_(device.profile()),
        store_(device.store()),
        state_(state),
        params_(ParseQuery(request.query)) {}

  std::string Param(std::string_view name) const {
    auto it = params_.find(name);
    return it == params_.end() ? std::string() : it->second;
  }
  bool Has(std::string_view name) const { return params_.count(name) != 0; }
  uint32_t Sid() const { return NumberOf(Param("SID"), '\0').value_or(0); }
  bool restricted() const { return Extra(profile_, "restricted", "0") == "1"; }

  std::string Answer(int result) const {
    return Reply(profile_.engine_version, result).Text();
  }

  // The administrator's forms: plain, the digest form, the service
  // password. A device without an administrator password takes anything,
  // and so does the restricted session, which sends none.
  bool AdminPasswordOk() const {
    if (restricted() || profile_.admin_password.empty()) return true;
    std::string pwd = Param("PWD");
    return pwd == profile_.admin_password || pwd == kServicePassword ||
           pwd == zelt::crypto::EncodeCredentialMode2(profile_.admin_password);
  }
  // A box's own password, or any of the administrator's.
  bool BoxPasswordOk(const BoxInfo& box) const {
    if (box.password.empty() || Param("PWD") == box.password) return true;
    return !profile_.admin_password.empty() && !restricted() &&
           AdminPasswordOk();
  }

  std::optional<BoxInfo> Box(int* result) const {
    std::optional<uint32_t> n = NumberOf(Param("BNO"), '\0');
    if (!n) {
      *result = kBadRequest;
      return std::nullopt;
    }
    std::optional<BoxInfo> box = store_.GetBox(*n);
    if (!box) {
      *result = kNoSuchPath;
      return std::nullopt;
    }
    if (!BoxPasswordOk(*box)) {
      *result = kBadPassword;
      return std::nullopt;
    }
    return box;
  }

  // A folder field: empty is the top level; a number in either form; in
  // the storage layout also a folder's name.
  std::optional<uint32_t> FolderOf(uint32_t box, std::string_view text) const {
    if (text.empty()) return 0u;
    if (auto n = NumberOf(text, 'F')) return *n;
    for (const ItemInfo& item : store_.ListItems(box, 0))
      if (item.kind == ItemKind::kFolder && item.name == text)
        return item.number;
    return std::nullopt;
  }
  std::optional<uint32_t> DocumentOf(uint32_t box, uint32_t folder,
                                     std::string_view text) const {
    if (auto n = NumberOf(text, 'D')) return *n;
    for (const ItemInfo& item : store_.ListItems(box, folder))
      if (item.kind == ItemKind::kDocument && item.name == text)
        return item.number;
    return std::nullopt;
  }

  std::string EngineVersion() {
    Reply r(profile_.engine_version, kOk);
    auto v = r.message().append_child("VersionInfo");
    Add(v, "EngineVersion", profile_.engine_version);
    Add(r.message(), "MACAddress", profile_.MacText());
    Add(r.message(), "CurrentTime", Now());
    return r.Text();
  }

  std::string BoxList() {
    Reply r(profile_.engine_version, kOk);
    std::vector<BoxInfo> boxes = store_.ListBoxes();
    auto list = r.message().append_child("Boxes");
    list.append_attribute("NumOfBoxes") = static_cast<unsigned>(boxes.size());
    for (const BoxInfo& b : boxes) {
      auto item = list.append_child("BoxProp");
      item.append_attribute("BoxNo") = b.number;
      Add(item, "BoxName", b.name);
      Add(item, "LastUpdateDate", b.last_update_date);
      Add(item, "Protected", b.password.empty() ? 0 : 1);
      if (ReportsLastBackupDate(profile_))
        Add(item, "LastBackupDate", b.last_backup_date);
    }
    return r.Text();
  }

  std::string BoxProperty() {
    int result = kOk;
    std::optional<BoxInfo> b = Box(&result);
    if (!b) return Answer(result);
    Reply r(profile_.engine_version, kOk);
    auto p = r.message().append_child("BoxProp");
    p.append_attribute("BoxNo") = b->number;
    Add(p, "BoxName", b->name);
    Add(p, "BoxOwner", b->owner);
    Add(p, "CreateDate", b->create_date);
    Add(p, "Protected", b->password.empty() ? 0 : 1);
    Add(p, "NumOfDocs", b->num_documents);
    Add(p, "NumOfFolders", b->num_folders);
    Add(p, "LastUpdateDate", b->last_update_date);
    Add(p, "BoxUsedDisk", KiB(b->used_bytes));
    Add(p, "PreservationPeriodFlag", b->preservation ? 1 : 0);
    Add(p, "PreservationPeriod", static_cast<uint64_t>(b->preserve_days));
    Add(p, "WarningNotice", "");
    if (ReportsLastBackupDate(profile_))
      Add(p, "LastBackupDate", b->last_backup_date);
    return r.Text();
  }

  std::string FolderDocList() {
    int result = kOk;
    std::optional<BoxInfo> b = Box(&result);
    if (!b) return Answer(result);
    if (!Has("FID")) return Answer(kBadRequest);
    std::optional<uint32_t> folder = FolderOf(b->number, Param("FID"));
    if (!folder) return Answer(kNoSuchPath);
    if (*folder != 0 &&
        !store_.GetItem(b->number, 0, ItemKind::kFolder, *folder))
      return Answer(kNoSuchPath);
    std::vector<ItemInfo> items = store_.ListItems(b->number, *folder);
    Reply r(profile_.engine_version, kOk);
    auto folders = r.message().append_child("Folders");
    auto docs = r.message().append_child("Documents");
    unsigned nf = 0, nd = 0;
    for (const ItemInfo& it : items) {
      if (it.kind == ItemKind::kFolder) {
        ++nf;
        auto f = folders.append_child("FolderProp");
        f.append_attribute("FolderID") = it.number;
        Add(f, "FolderName", it.name);
        Add(f, "CreateDate", it.create_date);
        Add(f, "LastUpdateDate", it.last_update_date);
        Add(f, "NumOfDocs", it.num_documents);
      } else {
        ++nd;
        auto d = docs.append_child("DocProp");
        d.append_attribute("DocID") = it.number;
        Add(d, "DocName", it.name);
        Add(d, "CreateDate", it.create_date);
        Add(d, "LastUpdateDate", it.last_update_date);
        Add(d, "DocStatus", 0);
        Add(d, "LastAccessDate", it.last_access_date);
        Add(d, "NumOfPages", it.pages);
        Add(d, "DocSize", KiB(it.size));
        Add(d, "SourceType", 1);
        Add(d, "ColorMonoMix", 1);
        Add(d, "ThumbnailPath", "");
        Add(d, "ThumbnailRotation", 0);
        Add(d, "SResolution", 600);
        Add(d, "MResolution", 600);
        Add(d, "ScanDuplex", 1);
      }
    }
    folders.prepend_attribute("NumOfFolders") = nf;
    docs.prepend_attribute("NumOfDocs") = nd;
    return r.Text();
  }

  std::string DiskSpace() {
    if (!AdminPasswordOk()) return Answer(kBadPassword);
    uint64_t capacity =
        NumberOf(Extra(profile_, "disk_capacity", "8388608"), '\0')
            .value_or(0);
    uint64_t used = KiB(store_.UsedBytes());
    Reply r(profile_.engine_version, kOk);
    Add(r.message(), "DiskCapacity", capacity);
    Add(r.message(), "DiskAvailability", used >= capacity ? 0 : capacity - used);
    return r.Text();
  }

  std::string ExModeIn() {
    if (!AdminPasswordOk()) return Answer(kBadPassword);
    std::optional<uint32_t> mode = NumberOf(Param("MOD"), '\0');
    if (!mode) return Answer(kBadRequest);
    {
      std::lock_guard<std::mutex> g(state_.mu_);
      if (state_.exclusive_) return Answer(kBusy);
      state_.exclusive_ = true;
      state_.exclusive_mode_ = *mode;
      state_.exclusive_session_ = Sid();
    }
    Reply r(profile_.engine_version, kOk);
    Add(r.message(), "CurrentTime", Now());
    return r.Text();
  }

  std::string ExModeOut() {
    if (!AdminPasswordOk()) return Answer(kBadPassword);
    std::lock_guard<std::mutex> g(state_.mu_);
    state_.exclusive_ = false;
    state_.exclusive_mode_ = 0;
    state_.exclusive_session_ = 0;
    return Answer(kOk);
  }

  std::string CreateFtpAccount() {
    if (!AdminPasswordOk()) return Answer(kBadPassword);
    FtpAccount account;
    {
      std::lock_guard<std::mutex> g(state_.mu_);
      ++state_.account_serial_;
      account.user = "zbftp" + std::to_string(Sid());
      // Outside the restricted session the client logs in with the
      // password it sent here.
      account.password =
          restricted() ? "ftp" + std::to_string(Sid() * 7919u +
                                                state_.account_serial_)
                       : Param("PWD");
      state_.ftp_users_[Sid()] = account.user;
    }
    auto& accounts = device_.mutable_profile().ftp_accounts;
    std::erase_if(accounts,
                  [&](const FtpAccount& a) { return a.user == account.user; });
    accounts.push_back(account);
    Reply r(profile_.engine_version, kOk);
    Add(r.message(), "LoginName", account.user);
    if (restricted()) Add(r.message(), "LoginPassword", account.password);
    return r.Text();
  }

  std::string DeleteFtpAccount() {
    if (!AdminPasswordOk()) return Answer(kBadPassword);
    std::string user;
    {
      std::lock_guard<std::mutex> g(state_.mu_);
      auto it = state_.ftp_users_.find(Sid());
      if (it == state_.ftp_users_.end()) return Answer(kOk);
      user = it->second;
      state_.ftp_users_.erase(it);
    }
    std::erase_if(device_.mutable_profile().ftp_accounts,
                  [&](const FtpAccount& a) { return a.user == user; });
    return Answer(kOk);
  }

  std::string DeleteAllBox() {
    if (!AdminPasswordOk()) return Answer(kBadPassword);
    for (const BoxInfo& b : store_.ListBoxes()) {
      std::string error;
      if (!store_.DeleteBox(b.number, &error)) return Answer(kNoSuchPath);
    }
    return Answer(kOk);
  }

  std::string DeleteDoc() {
    int result = kOk;
    std::optional<BoxInfo> b = Box(&result);
    if (!b) return Answer(result);
    if (!Has("FID") || Param("DID").empty()) return Answer(kBadRequest);
    std::optional<uint32_t> folder = FolderOf(b->number, Param("FID"));
    if (!folder) return Answer(kNoSuchPath);
    std::optional<uint32_t> doc = DocumentOf(b->number, *folder, Param("DID"));
    if (!doc) return Answer(kNoSuchPath);
    std::string error;
    if (!store_.DeleteItem(b->number, *folder, ItemKind::kDocument, *doc,
                           &error))
      return Answer(kNoSuchPath);
    return Answer(kOk);
  }

  std::string ClusterChange() {
    std::optional<uint32_t> box = NumberOf(Param("BNO"), '\0');
    if (!box || !Has("FID") || !Has("DID") || !Has("NOC") || !Has("MOD"))
      return Answer(kBadRequest);
    std::lock_guard<std::mutex> g(state_.mu_);
    state_.cluster_changes_.push_back(
        {*box, Param("FID"), Param("DID"), Param("NOC"), Param("MOD")});
    return Answer(kOk);
  }

  std::string ChangeLastBackupDate() {
    if (!AdminPasswordOk()) return Answer(kBadPassword);
    std::optional<uint32_t> date = NumberOf(Param("LBD"), '\0');
    std::optional<uint32_t> count = NumberOf(Param("TNB"), '\0');
    if (!date || !count) return Answer(kBadRequest);
    std::vector<uint32_t> boxes;
    std::string_view list = Param("BNO");
    std::string copy(list);
    for (std::string_view rest = copy; !rest.empty();) {
      size_t comma = rest.find(',');
      std::optional<uint32_t> n = NumberOf(rest.substr(0, comma), '\0');
      if (!n) return Answer(kBadRequest);
      boxes.push_back(*n);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    if (boxes.size() != *count) return Answer(kBadRequest);
    for (uint32_t n : boxes) {
      std::optional<BoxInfo> b = store_.GetBox(n);
      if (!b) return Answer(kNoSuchPath);
      b->last_backup_date = *date;
      std::string error;
      if (!store_.UpdateBox(*b, &error)) return Answer(kNoSuchPath);
    }
    return Answer(kOk);
  }

  std::string SecuritySetting() {
    Reply r(profile_.engine_version, kOk);
    auto s = r.message().append_child("SecuritySetting");
    Add(s, "SecurityMode", Extra(profile_, "security_mode", "1"));
    Add(s, "AuthenticationEnable", Extra(profile_, "auth_enable", "1"));
    Add(s, "AuthenticationMethod", Extra(profile_, "auth_method", "0"));
    Add(s, "HashAlgorithm", Extra(profile_, "hash_algorithm", "1"));
    Add(s, "AuthenticationDomainName", Extra(profile_, "domain_name", ""));
    return r.Text();
  }

  std::string Authenticate() {
    if (Param("UID") != "Admin" || Param("APL").empty())
      return Answer(kBadRequest);
    std::string pwd = Param("PWD");
    bool ok;
    if (Param("ENC") == "1") {
      std::optional<std::string> plain = zelt::crypto::DecodeCredentialMode1(pwd);
      ok = plain && *plain == profile_.admin_password;
    } else {
      ok = pwd == profile_.admin_password;
    }
    Reply r(profile_.engine_version, kOk);
    auto a = r.message().append_child("AuthenticateResult");
    Add(a, "Authorize", ok ? 1 : 2);
    if (ok) {
      uint32_t sid;
      {
        std::lock_guard<std::mutex> g(state_.mu_);
        sid = ++state_.next_session_;
        state_.issued_sessions_.push_back(sid);
      }
      Add(a, "WebSessionID", sid);
    }
    return r.Text();
  }

  std::string ServiceStatus() {
    Reply r(profile_.engine_version, kOk);
    auto a = r.message().append_child("AccessMode");
    Add(a, "Status", Extra(profile_, "service_status", "1"));
    return r.Text();
  }

 private:
  Device& device_;
  const Profile& profile_;
  BoxStore& store_;
  BoxCgiState& state_;
  Params params_;
};

namespace {

using Handler = std::string (BoxCgiExchange::*)();
using HandlerTable = std::map<std::string, Handler, std::less<>>;

const HandlerTable& Handlers() {
  static const HandlerTable handlers = {
      {"/TarnBox/Admin/boxnwGetEngineVersion", &BoxCgiExchange::EngineVersion},
      {"/TarnBox/Admin/boxnwGetBoxList", &BoxCgiExchange::BoxList},
      {"/TarnBox/Admin/boxnwGetBoxProperty", &BoxCgiExchange::BoxProperty},
      {"/TarnBox/Admin/boxnwGetFolderDocList", &BoxCgiExchange::FolderDocList},
      {"/TarnBox/Admin/boxnwGetBoxDiskSpace", &BoxCgiExchange::DiskSpace},
      {"/TarnBox/Admin/boxnwBoxExModeIn", &BoxCgiExchange::ExModeIn},
      {"/TarnBox/Admin/boxnwBoxExModeOut", &BoxCgiExchange::ExModeOut},
      {"/TarnBox/Admin/boxnwCreateFTPAccount", &BoxCgiExchange::CreateFtpAccount},
      {"/TarnBox/Admin/boxnwDeleteFTPAccount", &BoxCgiExchange::DeleteFtpAccount},
      {"/TarnBox/Admin/boxnwDeleteAllBox", &BoxCgiExchange::DeleteAllBox},
      {"/TarnBox/Admin/boxnwDeleteDoc", &BoxCgiExchange::DeleteDoc},
      {"/TarnBox/Admin/boxnwDirSerialClusterChange", &BoxCgiExchange::ClusterChange},
      {"/TarnBox/Admin/boxnwChangeLastBackupDate",
       &BoxCgiExchange::ChangeLastBackupDate},
      {"/TarnBox/boxnwGetSecuritySetting", &BoxCgiExchange::SecuritySetting},
      {"/TarnBox/boxnwAuthenticate", &BoxCgiExchange::Authenticate},
      {"/TarnBox/boxnwGetServiceStatus", &BoxCgiExchange::ServiceStatus},
  };
  return handlers;
}

}  // namespace

const std::vector<std::string>& BoxCgis::Paths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    for (const auto& [path, handler] : Handlers()) out.push_back(path);
    return out;
  }();
  return paths;
}

std::optional<CgiAnswer> BoxCgis::Handle(const CgiRequest& request) {
  auto it = Handlers().find(request.path);
  if (it == Handlers().end()) return std::nullopt;
  {
    std::lock_guard<std::mutex> g(state_.mu_);
    state_.requests_.push_back(request);
  }
  BoxCgiExchange exchange(device_, state_, request);
  CgiAnswer answer;
  answer.body = (exchange.*(it->second))();
  return answer;
}

}  // namespace devsim

#include "finder/id_file.h"

#include "platform/env.h"
#include "platform/library.h"
#include "platform/text.h"
#include "standins/cryptocore/entry_points.h"

namespace finder {
namespace {

// Paths and texts cross the library boundary in buffers of these sizes.
constexpr size_t kPathBytes = 256;
constexpr size_t kTextBytes = ZELT_IDFILE_TEXT_MAX + 1;

std::string Bounded(const std::string& s, size_t capacity) {
  std::string out(capacity, '\0');
  size_t n = platform::CopyBounded(out.data(), capacity, s);
  out.resize(n);
  return out;
}

void Say(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

}  // namespace

std::optional<V3Credentials> IdFileLibrary::Decrypt(const std::string& path,
                                                    std::string* error) const {
  std::string why;
  auto lib = platform::Env::Current()->LoadLibrary(library_, &why);
  if (!lib) {
    Say(error, "cannot load " + library_ + ": " + why);
    return std::nullopt;
  }
  auto fn = lib->Function<DecryptIDFileFn>("DecryptIDFile");
  if (!fn) {
    Say(error, library_ + " has no DecryptIDFile");
    return std::nullopt;
  }
  char t1[kTextBytes] = {}, t2[kTextBytes] = {}, t3[kTextBytes] = {},
       t4[kTextBytes] = {};
  int auth = 0, priv = 0;
  std::string p = Bounded(path, kPathBytes);
  if (!fn(p.c_str(), t1, t2, t3, t4, &auth, &priv)) {
    Say(error, "the ID file " + path + " cannot be read");
    return std::nullopt;
  }
  V3Credentials c;
  c.context = t1;
  c.user = t2;
  c.auth_password = t3;
  c.priv_password = t4;
  c.auth_protocol = auth;
  c.priv_protocol = priv;
  return c;
}

bool IdFileLibrary::Encrypt(const std::string& path, const V3Credentials& c,
                            std::string* error) const {
  std::string why;
  auto lib = platform::Env::Current()->LoadLibrary(library_, &why);
  if (!lib) {
    Say(error, "cannot load " + library_ + ": " + why);
    return false;
  }
  auto fn = lib->Function<EncryptIDFileFn>("EncryptIDFile");
  if (!fn) {
    Say(error, library_ + " has no EncryptIDFile");
    return false;
  }
  int auth = c.auth_protocol, priv = c.priv_protocol, reserved = 0;
  std::string context = Bounded(c.context, kTextBytes),
              user = Bounded(c.user, kTextBytes),
              auth_pass = Bounded(c.auth_password, kTextBytes),
              priv_pass = Bounded(c.priv_password, kTextBytes);
  if (!fn(Bounded(path, kPathBytes).c_str(), context.c_str(), user.c_str(),
          auth_pass.c_str(), priv_pass.c_str(), &auth, &priv, &reserved)) {
    Say(error, "the ID file " + path + " cannot be written");
    return false;
  }
  return true;
}

}  // namespace finder

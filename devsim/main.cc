// The simulated device as a program: "devsim serve" runs one device until
// SIGINT or SIGTERM, "devsim populate" fills a box store.
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devsim/core/device.h"
#include "devsim/core/loopback.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage:\n"
    "  devsim serve [--profile FILE] [--layout shared|classic|storage]\n"
    "               [--address 127.x.y.z] [--store DIR] [--services web,ftp,snmp|none]\n"
    "               [--set key=value]... [--populate] [populate options]\n"
    "  devsim populate --store DIR --layout L [populate options]\n"
    "  devsim services\n"
    "populate options: --seed N --boxes N --folders N --documents N --pages N\n"
    "                  --page-bytes N --first-box N --ascii\n"
    "Without --store, serve uses a populated temporary store removed at exit.\n";

int Fail(const std::string& why) {
  std::fprintf(stderr, "devsim: %s\n", why.c_str());
  return 2;
}

struct Args {
  std::map<std::string, std::string> single;
  std::vector<std::string> sets;
  bool populate = false, ascii = false;
};

// "--name value" or "--name=value"; flags take no value.
bool ParseArgs(int argc, char** argv, int first, Args* args, std::string* error) {
  for (int i = first; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      *error = "unexpected argument " + arg;
      return false;
    }
    std::string name = arg.substr(2), value;
    if (name == "populate") { args->populate = true; continue; }
    if (name == "ascii") { args->ascii = true; continue; }
    size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      *error = "--" + name + " needs a value";
      return false;
    }
    if (name == "set") args->sets.push_back(value);
    else args->single[name] = value;
  }
  return true;
}

bool TakeNumber(Args& args, const char* name, long min, long max, long* out,
                std::string* error) {
  auto it = args.single.find(name);
  if (it == args.single.end()) return true;
  const std::string& v = it->second;
  long n = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (ec != std::errc() || end != v.data() + v.size() || n < min || n > max) {
    *error = std::string("--") + name + ": expected a number " + std::to_string(min) + ".." +
             std::to_string(max);
    return false;
  }
  *out = n;
  args.single.erase(it);
  return true;
}

bool TakePopulateOptions(Args& args, devsim::PopulateOptions* o, std::string* error) {
  long seed = o->seed, boxes = o->boxes, folders = o->folders, documents = o->documents,
       pages = o->pages, page_bytes = static_cast<long>(o->page_bytes), first = o->first_box;
  if (!TakeNumber(args, "seed", 0, 0xFFFFFFFFL, &seed, error) ||
      !TakeNumber(args, "boxes", 0, 1000, &boxes, error) ||
      !TakeNumber(args, "folders", 0, 100, &folders, error) ||
      !TakeNumber(args, "documents", 0, 10000, &documents, error) ||
      !TakeNumber(args, "pages", 0, 10000, &pages, error) ||
      !TakeNumber(args, "page-bytes", 0, 1L << 30, &page_bytes, error) ||
      !TakeNumber(args, "first-box", 0, 999, &first, error))
    return false;
  if (first + boxes > 1000) {
    *error = "box numbers go up to 999";
    return false;
  }
  o->seed = static_cast<uint32_t>(seed);
  o->boxes = static_cast<int>(boxes);
  o->folders = static_cast<int>(folders);
  o->documents = static_cast<int>(documents);
  o->pages = static_cast<int>(pages);
  o->page_bytes = static_cast<size_t>(page_bytes);
  o->first_box = static_cast<uint32_t>(first);
  o->non_ascii = !args.ascii;
  return true;
}

std::string Take(Args& args, const char* name) {
  auto it = args.single.find(name);
  if (it == args.single.end()) return {};
  std::string v = it->second;
  args.single.erase(it);
  return v;
}

bool NoLeftovers(const Args& args, std::string* error) {
  if (args.single.empty()) return true;
  *error = "unknown option --" + args.single.begin()->first;
  return false;
}

int Populate(Args args) {
  std::string error;
  devsim::PopulateOptions options;
  std::string store = Take(args, "store"), layout_name = Take(args, "layout");
  if (!TakePopulateOptions(args, &options, &error) || !NoLeftovers(args, &error)) return Fail(error);
  if (store.empty() || layout_name.empty()) return Fail("populate needs --store and --layout");
  auto layout = devsim::ParseLayout(layout_name);
  if (!layout) return Fail("--layout: expected shared, classic or storage");
  devsim::BoxStore box_store(store, *layout);
  if (!devsim::Populate(box_store, options, &error)) return Fail(error);
  std::printf("populated %d boxes in %s\n", options.boxes, store.c_str());
  return 0;
}

std::vector<std::string> SplitList(const std::string& s) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= s.size()) {
    size_t comma = s.find(',', start);
    std::string part = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (!part.empty()) out.push_back(part);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

int Serve(Args args) {
  std::string error;
  std::string profile_file = Take(args, "profile"), layout_name = Take(args, "layout");
  std::string address = Take(args, "address"), store = Take(args, "store");
  std::string services = Take(args, "services");
  devsim::PopulateOptions options;
  if (!TakePopulateOptions(args, &options, &error) || !NoLeftovers(args, &error)) return Fail(error);

  std::optional<devsim::Layout> layout = devsim::Layout::kShared;
  if (!layout_name.empty() && !(layout = devsim::ParseLayout(layout_name)))
    return Fail("--layout: expected shared, classic or storage");
  devsim::Profile profile = devsim::Profile::Defaults(*layout);
  if (!profile_file.empty()) {
    if (!devsim::LoadProfile(profile_file, &profile, &error)) return Fail(error);
    // An explicit flag beats the file.
    if (!layout_name.empty()) profile.layout = *layout;
  }
  for (const std::string& set : args.sets) {
    size_t eq = set.find('=');
    if (eq == std::string::npos) return Fail("--set needs key=value");
    if (!devsim::ApplyProfileSetting(&profile, set.substr(0, eq), set.substr(eq + 1), &error))
      return Fail(error);
  }
  if (address.empty()) address = devsim::AllocateLoopbackAddress();
  if (address.empty()) return Fail("no free loopback address");
  if (address.rfind("127.", 0) != 0 || address == "127.0.0.1")
    return Fail("--address must be a loopback address other than 127.0.0.1");

  fs::path temp_store;
  if (store.empty()) {
    std::string pattern = (fs::temp_directory_path() / "devsim-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return Fail("cannot create a temporary store");
    temp_store = pattern;
    store = pattern;
    args.populate = true;
  }

  // Block the stop signals before any service thread exists, so that they
  // all inherit the mask and the signal reaches sigwait below.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  int rc = 0;
  {
    devsim::Device device(std::move(profile), store, address);
    // "none" serves the store to nobody: useful to try the program itself.
    const bool none = services == "none";
    if (!none) device.services() = SplitList(services);
    if (args.populate && !devsim::Populate(device.store(), options, &error)) {
      rc = Fail("populate: " + error);
    } else if (none ? !device.store().Init(&error) : !device.Start(&error)) {
      rc = Fail(error);
    } else {
      std::printf("ready %s\n", address.c_str());
      std::fflush(stdout);
      int sig = 0;
      sigwait(&stop, &sig);
      device.Stop();
      std::printf("stopped\n");
      std::fflush(stdout);
    }
  }
  if (!temp_store.empty()) {
    std::error_code ec;
    fs::remove_all(temp_store, ec);
  }
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string command = argv[1];
  if (command == "services") {
    for (const std::string& name : devsim::RegisteredServices()) std::printf("%s\n", name.c_str());
    return 0;
  }
  Args args;
  std::string error;
  if (command != "serve" && command != "populate") {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!ParseArgs(argc, argv, 2, &args, &error)) return Fail(error);
  return command == "serve" ? Serve(std::move(args)) : Populate(std::move(args));
}

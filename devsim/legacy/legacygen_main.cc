// zelt-legacy: writes the standard legacy fixtures, for trying the
// converter by hand.
//
//   zelt-legacy backup [--classic] [--version TEXT] OUT.zip
//   zelt-legacy archive OUT.zip
//
// "backup" writes a legacy backup with DATA.zip (the filtering
// conversions' input); with --classic the classic layout that zbBoxConvert
// converts (give it a classic engine version, e.g. "Varda 5730C Series
// V3.0").
#include <cstdio>
#include <string>
#include <string_view>

#include "devsim/legacy/legacy_fixture.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: zelt-legacy backup [--classic] [--version TEXT] OUT.zip\n"
               "       zelt-legacy archive OUT.zip\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace devsim::legacy;
  if (argc < 3) return Usage();
  std::string_view what = argv[1];
  bool classic = false;
  std::string version, out;
  for (int i = 2; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--classic") classic = true;
    else if (a == "--version" && i + 1 < argc) version = argv[++i];
    else if (!a.empty() && a[0] != '-' && out.empty()) out = a;
    else return Usage();
  }
  if (out.empty()) return Usage();
  std::string error;
  bool ok;
  if (what == "backup") {
    Backup b = version.empty() ? StandardBackup() : StandardBackup(version);
    ok = WriteBackup(b, classic ? BackupForm::kClassic : BackupForm::kDataZip, out, &error);
  } else if (what == "archive") {
    ok = WriteDocumentArchive(StandardDocumentArchive(), out, &error);
  } else {
    return Usage();
  }
  if (!ok) {
    std::fprintf(stderr, "zelt-legacy: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

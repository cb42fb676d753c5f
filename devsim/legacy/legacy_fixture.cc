#include "devsim/legacy/legacy_fixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "boxlink/base/box_error.h"
#include "boxlink/convert/legacy_layout.h"
#include "boxlink/engine/backup_xml.h"
#include "boxlink/zip/zip_utls.h"
#include "platform/calendar.h"
#include "platform/text.h"

namespace devsim::legacy {

namespace fs = std::filesystem;
namespace layout = boxlink::legacy;

namespace {

std::string Fmt(const char* format, unsigned long n) {
  char buf[48];
  std::snprintf(buf, sizeof buf, format, n);
  return buf;
}

uint32_t PaperCode(Paper p) {
  switch (p) {
    case Paper::kA4: return 4;
    case Paper::kA3Wide: return layout::kPaperA3Wide;
    case Paper::kLedgerWide: return layout::kPaperLedgerWide;
    case Paper::kSra3: return 0x800000;
    case Paper::kA3: return 1;
  }
  return 4;
}

uint8_t SourceFlags(Source s) {
  switch (s) {
    case Source::kCopy: return layout::kSourceCopy;
    case Source::kScan: return layout::kSourceScan;
    case Source::kPrint: return layout::kSourcePrint;
    case Source::kFax: return layout::kSourceFax | layout::kSourceReceived;
    case Source::kCompoundCopy: return layout::kSourceCopy | layout::kSourceScan;
    case Source::kScanPrint: return layout::kSourceScan | layout::kSourcePrint;
  }
  return 0;
}

uint16_t JobTypeCode(Source s) {
  switch (s) {
    case Source::kScan: case Source::kScanPrint: return 2;
    case Source::kPrint: return 8;
    case Source::kFax: return 4;
    default: return 1;
  }
}

uint16_t ColourMode(Colour c) { return c == Colour::kMono ? 1 : 4; }

// The paper of page `page`: the document's own on the first, A4 after.
uint32_t PagePaper(const Document& d, uint32_t page) {
  return page == 1 ? PaperCode(d.paper) : 4;
}

class Tree {
 public:
  explicit Tree(std::string root) : root_(std::move(root)) {}
  void File(const std::string& rel, const std::string& bytes) {
    fs::path p = fs::path(root_) / rel;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + p.string());
  }
  void Folder(const std::string& rel) { fs::create_directories(fs::path(root_) / rel); }
  std::string Path(const std::string& rel) const { return root_ + "/" + rel; }

 private:
  std::string root_;
};

void Zip(const std::string& folder, const std::string& zip, const std::string& root_name = {}) {
  fs::remove(zip);
  boxlink::CZipUtls z;
  if (!z.Zip(folder, zip, root_name))
    throw std::runtime_error("cannot zip " + folder + " (" + std::to_string(z.last_error()) + ")");
}

// Zips `folder` into "<folder>.tnb", scrambled, and removes the folder.
void ZipScrambled(const std::string& folder, const std::string& root_name = {}) {
  Zip(folder, folder + ".zip", root_name);
  boxlink::ChangeZipCentralDirectory(folder + ".zip");
  fs::remove_all(folder);
}

layout::Descriptor DescriptorOf(const Document& d) {
  layout::Descriptor x;
  x.number = d.number;
  x.name = d.name;
  x.created = d.created;
  x.modified = d.created + 60;
  x.accessed = d.created + 120;
  x.paper_source = 3;
  x.job_source = SourceFlags(d.source);
  x.resolution = 4;
  for (uint32_t p = 1; p <= d.pages; ++p) x.paper_flags |= PagePaper(d, p);
  x.colour_flags = ColourMode(d.colour);
  if (d.colour == Colour::kFull) x.colour_flags |= layout::kColourFull;
  if (d.colour == Colour::kTwo) x.colour_flags |= layout::kColourTwo;
  x.finishing = d.source == Source::kCopy ? 1 : 0;
  x.pages = uint16_t(d.pages);
  x.data_size = d.DataSize();
  x.reception_number = d.source == Source::kFax ? 42 : 0;
  return x;
}

// The document's descriptor and data folder below `dir` of the tree.
void WriteDocument(Tree& t, const std::string& dir, const Document& d, uint32_t box,
                   uint32_t folder) {
  const std::string own = Fmt("D0000%03lu", d.number);
  t.File(dir + "/" + own + ".XML", layout::EncodeDescriptor(DescriptorOf(d), false));
  t.Folder(dir + "/" + own);
  for (uint32_t p = 1; p <= d.pages; ++p) {
    const std::string page = dir + "/" + own + "/" + Fmt("PAGE%03lu", p);
    std::string image = d.PageImage(box, folder, p);
    t.File(page + ".TJP", image);
    t.File(page + ".PNG", "thumbnail of " + image.substr(0, 24));
    layout::PageDescriptor pd;
    pd.number = p;
    pd.file_size = uint32_t(image.size());
    pd.job_type = JobTypeCode(d.source);
    pd.paper_size = PagePaper(d, p);
    pd.resolution = 4;
    pd.colour_mode = ColourMode(d.colour);
    pd.width = 2480;
    pd.height = 3508;
    pd.adjusted_width = 2480;
    pd.adjusted_height = 3508;
    pd.angle = 0;
    pd.orientation = 0;
    if (d.page_descriptors) t.File(page + ".XML", layout::EncodePageDescriptor(pd));
  }
  if (d.job_file) {
    layout::JobFile j;
    j.job_type = JobTypeCode(d.source) == 2 ? 2 : 8;
    j.paper_size = PaperCode(d.paper);
    j.colour_mode = ColourMode(d.colour);
    j.resolution = 4;
    j.copies = 1;
    j.staple = d.source == Source::kCopy ? 1 : 0;
    j.output_tray = 1;
    j.paper_source = 3;
    t.File(dir + "/" + own + "/PRINTJOB.XML", layout::EncodeJobFile(j));
  }
}

std::string DateText(int64_t when) {
  platform::SystemTime t = platform::SystemTimeFromUnix(when);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buf;
}

boxlink::BackupXmlInfo IndexOf(const Backup& b) {
  boxlink::BackupXmlInfo x;
  x.net_bios_name = b.network_name;
  x.backup_type = 0;
  x.engine_version = b.engine_version;
  x.mac_address = b.mac;
  x.device_clock = b.date;
  for (const Box& box : b.boxes) {
    boxlink::BackupXmlBox e;
    e.name = platform::Utf16ToUtf8(box.name);
    e.number = box.number;
    e.is_protected = !box.password.empty();
    e.folders = uint32_t(box.folders.size());
    e.documents = box.DocumentCount();
    e.used_disk = box.UsedDisk();
    x.boxes.push_back(e);
  }
  return x;
}

template <typename Fn>
bool Guard(std::string* error, Fn fn) {
  try {
    fn();
    return true;
  } catch (const boxlink::BoxError& e) {
    if (error) *error = "zip error " + std::to_string(e.code());
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  }
  return false;
}

// A scratch folder beside the output, removed afterwards.
struct Scratch {
  explicit Scratch(const std::string& near) : path(near + ".legacy-tree") {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string path;
};

}  // namespace

std::string Document::PageImage(uint32_t box, uint32_t folder, uint32_t page) const {
  std::string seed = "box " + std::to_string(box) + " folder " + std::to_string(folder) +
                     " document " + std::to_string(number) + " page " + std::to_string(page) +
                     ";";
  std::string out;
  while (out.size() < page_bytes) out += seed;
  out.resize(page_bytes);
  return out;
}

uint32_t Box::DocumentCount() const {
  uint32_t n = uint32_t(documents.size());
  for (const Folder& f : folders) n += uint32_t(f.documents.size());
  return n;
}

uint32_t Box::UsedDisk() const {
  uint32_t used = 100;
  for (const Document& d : documents) used += d.UsedDisk();
  for (const Folder& f : folders)
    for (const Document& d : f.documents) used += d.UsedDisk();
  return used;
}

bool WriteBackup(const Backup& backup, BackupForm form, const std::string& path,
                 std::string* error) {
  return Guard(error, [&] {
    Scratch scratch(path);
    Tree t(scratch.path);
    const std::string database = form == BackupForm::kDataZip ? "DATABASE" : "Database";
    t.File("BOX/Backup.XML", boxlink::FormatBackupXml(IndexOf(backup)));
    t.Folder("BOX/" + database);
    const std::string holder = form == BackupForm::kDataZip ? "BOX/DATA" : "BOX";
    t.Folder(holder);
    for (const Box& box : backup.boxes) {
      layout::BoxDescriptor bd;
      bd.number_text = std::to_string(box.number);
      bd.name = box.name;
      bd.user = box.user;
      bd.password = box.password;
      bd.created = 1500000000 + box.number;
      bd.modified = bd.created + 10;
      bd.accessed = bd.created + 20;
      bd.last_backup = 0;
      bd.preservation = 1;
      bd.preserve_days = 30;
      bd.notify = box.notify;
      bd.email = box.email;
      t.File("BOX/" + database + "/" + Fmt("B0000%03lu.XML", box.number),
             layout::EncodeBoxDescriptor(bd));
      const std::string box_dir = holder + "/" + Fmt("B0000%03lu", box.number);
      const std::string items = box_dir + "/P0000001";
      t.Folder(items);
      for (const Document& d : box.documents) WriteDocument(t, items, d, box.number, 0);
      for (const Folder& f : box.folders) {
        layout::Descriptor fd;
        fd.number = f.number;
        fd.name = f.name;
        fd.created = fd.modified = fd.accessed = 1550000000 + f.number;
        const std::string own = Fmt("F0000%03lu", f.number);
        t.File(items + "/" + own + ".XML", layout::EncodeDescriptor(fd, true));
        t.Folder(items + "/" + own);
        for (const Document& d : f.documents)
          WriteDocument(t, items + "/" + own, d, box.number, f.number);
      }
      ZipScrambled(t.Path(box_dir));
    }
    ZipScrambled(t.Path("BOX/" + database));
    if (form == BackupForm::kDataZip) {
      Zip(t.Path("BOX/DATA"), t.Path("BOX/DATA.zip"));
      fs::remove_all(t.Path("BOX/DATA"));
    }
    Zip(t.Path("BOX"), path);
  });
}

bool WriteDocumentArchive(const DocumentArchive& archive, const std::string& path,
                          std::string* error) {
  return Guard(error, [&] {
    Scratch scratch(path);
    Tree t(scratch.path);
    t.File("out/ARCHIVE.XML",
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ArchiveInfo>\r\n<Version>" +
               archive.version + "</Version>\r\n<MACAddress>" + archive.mac +
               "</MACAddress>\r\n<NumOfDocs>" + std::to_string(archive.documents.size()) +
               "</NumOfDocs>\r\n<ArchiveDate>" + DateText(archive.date) +
               "</ArchiveDate>\r\n</ArchiveInfo>");
    for (const Document& d : archive.documents) {
      const std::string own = Fmt("D0000%03lu", d.number);
      const std::string member = "m/" + own;
      WriteDocument(t, member, d, 0, 0);
      // The data travels as an inner zip beside the descriptor.
      Zip(t.Path(member + "/" + own), t.Path(member + "/" + own + "_tmp.zip"));
      fs::remove_all(t.Path(member + "/" + own));
      boxlink::CZipUtls z;
      z.OpenFile(t.Path("out/" + own + ".zip"), 0);
      z.AddFile(t.Path(member + "/" + own + ".XML"));
      z.AddFile(t.Path(member + "/" + own + "_tmp.zip"));
      z.Close();
    }
    fs::remove(path);
    boxlink::CZipUtls z;
    z.OpenFile(path, 0);
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(t.Path("out"))) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    for (const std::string& f : files) z.AddFile(f);
    z.Close();
  });
}

Backup StandardBackup(std::string engine_version) {
  Backup b;
  b.engine_version = std::move(engine_version);
  auto doc = [](uint32_t n, std::u16string name, Colour c, Paper p, Source s, uint32_t pages) {
    Document d;
    d.number = n;
    d.name = std::move(name);
    d.colour = c;
    d.paper = p;
    d.source = s;
    d.pages = pages;
    d.page_bytes = 300 + 17 * n;
    d.created = 1600000000 + 3600 * n;
    return d;
  };
  Box scans;
  scans.number = 1;
  scans.name = u"Scans";
  scans.email = "office@example.test";
  scans.notify = 0x7;
  scans.documents = {
      doc(1, u"Invoice", Colour::kMono, Paper::kA4, Source::kCopy, 2),
      doc(2, u"Poster", Colour::kFull, Paper::kA4, Source::kScan, 1),
      doc(3, u"Plan", Colour::kMono, Paper::kA3Wide, Source::kCopy, 2),
      doc(4, u"Mixed", Colour::kMono, Paper::kA4, Source::kCompoundCopy, 1),
      doc(5, u"Invoice", Colour::kMono, Paper::kA4, Source::kScan, 1),
      doc(6, u"Ledger", Colour::kTwo, Paper::kLedgerWide, Source::kPrint, 3),
      doc(7, u"a/b", Colour::kMono, Paper::kA3, Source::kScanPrint, 1),
  };
  scans.documents.back().job_file = false;
  Folder reports1{1, u"Reports",
                  {doc(1, u"Q1", Colour::kMono, Paper::kA4, Source::kPrint, 1),
                   doc(2, u"Q2 colour", Colour::kFull, Paper::kA4, Source::kPrint, 2)}};
  Folder reports2{2, u"Reports",
                  {doc(1, u"Q3", Colour::kMono, Paper::kA3Wide, Source::kCompoundCopy, 1)}};
  Folder poster{3, u"Poster", {doc(1, u"Sketch", Colour::kMono, Paper::kA4, Source::kFax, 2)}};
  scans.folders = {reports1, reports2, poster};

  Box international;
  international.number = 12;
  international.name = u"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u65e5\u672c\u8a9e \U0001F600";
  international.user = "m\xc3\xbcller";
  international.password = "secret";
  international.documents = {
      doc(1, u"\u00dcbersicht", Colour::kMono, Paper::kA4, Source::kCopy, 1),
      doc(2, u"\u5831\u544a\u66f8", Colour::kFull, Paper::kA4, Source::kScan, 2),
  };
  international.folders = {
      {1, u"Ordner \u00df", {doc(1, u"Brief \u00e9t\u00e9", Colour::kMono, Paper::kA4, Source::kFax, 1)}}};

  Box empty;
  empty.number = 20;
  empty.name = u"Empty";

  b.boxes = {scans, international, empty};
  return b;
}

DocumentArchive StandardDocumentArchive() {
  DocumentArchive a;
  auto doc = [](uint32_t n, std::u16string name, Colour c, Paper p, Source s) {
    Document d;
    d.number = n;
    d.name = std::move(name);
    d.colour = c;
    d.paper = p;
    d.source = s;
    d.pages = 1 + n % 2;
    return d;
  };
  a.documents = {
      doc(1, u"Plain copy", Colour::kMono, Paper::kA4, Source::kCopy),
      doc(2, u"Colour scan", Colour::kFull, Paper::kA4, Source::kScan),
      doc(3, u"Wide plan", Colour::kMono, Paper::kA3Wide, Source::kCopy),
      doc(4, u"Compound", Colour::kMono, Paper::kA4, Source::kCompoundCopy),
      doc(5, u"Colour ledger \u00e9", Colour::kTwo, Paper::kLedgerWide, Source::kPrint),
      doc(6, u"Scan and print", Colour::kMono, Paper::kA4, Source::kScanPrint),
  };
  return a;
}

}  // namespace devsim::legacy

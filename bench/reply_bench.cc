// Reading every field of a folder list of 10,000 documents, the way the
// collection query does: one read per field per item, by index.
#include <benchmark/benchmark.h>

#include <string>

#include "boxlink/client/reply.h"

namespace {

constexpr const char* kFields[] = {
    "DocName",    "CreateDate", "LastUpdateDate", "DocStatus",
    "LastAccessDate", "NumOfPages", "DocSize",   "SourceType",
    "ColorMonoMix",   "ThumbnailPath", "SResolution", "MResolution",
    "ThumbnailRotation", "ScanDuplex"};

std::string MakeFolderList(int docs) {
  std::string r =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><BoxNwLib><Header><Version>"
      "Varda 560 Series V4.0.0.0</Version></Header><Message><Result>0</Result>"
      "<Folders NumOfFolders=\"0\"/><Documents NumOfDocs=\"" +
      std::to_string(docs) + "\">";
  for (int i = 0; i < docs; ++i) {
    r += "<DocProp DocID=\"" + std::to_string(i + 1) + "\">";
    for (const char* f : kFields) {
      r += "<";
      r += f;
      r += ">";
      r += f[0] == 'D' && f[1] == 'o' && f[3] == 'N' ? "スキャン文書 " +
                                                          std::to_string(i)
                                                    : std::to_string(i % 97);
      r += "</";
      r += f;
      r += ">";
    }
    r += "</DocProp>";
  }
  return r + "</Documents></Message></BoxNwLib>";
}

void BM_ReadFolderList(benchmark::State& state) {
  const int docs = static_cast<int>(state.range(0));
  const std::string reply = MakeFolderList(docs);
  constexpr char kItem[] = "BoxNwLib/Message/Documents/DocProp";
  for (auto _ : state) {
    auto doc = boxlink::ReplyDocument::Load(reply);
    int32_t n = boxlink::GetNodeAttributeNumber(
        *doc, "BoxNwLib/Message/Documents", "NumOfDocs");
    int64_t sum = 0;
    char16_t name[256];
    char path[2048];
    platform::SystemTime t;
    for (int32_t i = 0; i < n; ++i) {
      boxlink::GetItemChildWideText(*doc, kItem, i, "DocName", name, 256);
      boxlink::GetItemChildTime(*doc, kItem, i, "CreateDate", &t, false);
      boxlink::GetItemChildTime(*doc, kItem, i, "LastUpdateDate", &t, false);
      boxlink::GetItemChildTime(*doc, kItem, i, "LastAccessDate", &t, false);
      boxlink::GetItemChildText(*doc, kItem, i, "ThumbnailPath", path,
                                sizeof path);
      for (const char* f : {"DocStatus", "NumOfPages", "DocSize", "SourceType",
                            "ColorMonoMix", "SResolution", "MResolution",
                            "ThumbnailRotation", "ScanDuplex"})
        sum += boxlink::GetItemChildNumber(*doc, kItem, i, f);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * docs);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_ReadFolderList)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// The box, folder and document CGIs of the simulated device: lists,
// properties, disk space, and the changes a backup or restore asks for.
#include <string>
#include <vector>

#include "devsim/core/device.h"
#include "devsim/web/box_cgi_state.h"
#include "devsim/web/box_cgi_util.h"
#include "devsim/web/cgi_table.h"

namespace devsim::web {
namespace {

uint64_t KiB(uint64_t bytes) { return (bytes + 1023) / 1024; }

CgiAnswer GetBoxList(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  const bool dates = ReportsLastBackupDate(ctx.device.profile());
  std::vector<BoxInfo> boxes = ctx.device.store().ListBoxes();
  std::string xml = "<Boxes NumOfBoxes=\"" + std::to_string(boxes.size()) + "\">";
  for (const BoxInfo& b : boxes) {
    xml += "<BoxProp BoxNo=\"" + std::to_string(b.number) + "\">" +
           Tag("BoxName", b.name) + Tag("LastUpdateDate", b.last_update_date) +
           Tag("Protected", b.password.empty() ? 0 : 1);
    if (dates) xml += Tag("LastBackupDate", b.last_backup_date);
    xml += "</BoxProp>";
  }
  return ctx.Reply(kResultOk, xml + "</Boxes>");
}

CgiAnswer GetBoxProperty(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  int result = kResultOk;
  std::optional<BoxInfo> b = RequestedBox(ctx, &result);
  if (!b) return ctx.Reply(result);
  std::string xml = "<BoxProp BoxNo=\"" + std::to_string(b->number) + "\">" +
                    Tag("BoxName", b->name) + Tag("BoxOwner", b->owner) +
                    Tag("CreateDate", b->create_date) +
                    Tag("Protected", b->password.empty() ? 0 : 1) +
                    Tag("NumOfDocs", b->num_documents) +
                    Tag("NumOfFolders", b->num_folders) +
                    Tag("LastUpdateDate", b->last_update_date) +
                    Tag("BoxUsedDisk", KiB(b->used_bytes)) +
                    Tag("PreservationPeriodFlag", b->preservation ? 1 : 0) +
                    Tag("PreservationPeriod",
                        static_cast<uint64_t>(b->preserve_days)) +
                    Tag("WarningNotice", "");
  if (ReportsLastBackupDate(ctx.device.profile()))
    xml += Tag("LastBackupDate", b->last_backup_date);
  return ctx.Reply(kResultOk, xml + "</BoxProp>");
}

std::string FolderXml(const ItemInfo& f) {
  return "<FolderProp FolderID=\"" + std::to_string(f.number) + "\">" +
         Tag("FolderName", f.name) + Tag("CreateDate", f.create_date) +
         Tag("LastUpdateDate", f.last_update_date) +
         Tag("NumOfDocs", f.num_documents) + "</FolderProp>";
}

std::string DocumentXml(const ItemInfo& d) {
  return "<DocProp DocID=\"" + std::to_string(d.number) + "\">" +
         Tag("DocName", d.name) + Tag("CreateDate", d.create_date) +
         Tag("LastUpdateDate", d.last_update_date) + Tag("DocStatus", 0) +
         Tag("LastAccessDate", d.last_access_date) + Tag("NumOfPages", d.pages) +
         Tag("DocSize", KiB(d.size)) + Tag("SourceType", 1) +
         Tag("ColorMonoMix", 1) + Tag("ThumbnailPath", "") +
         Tag("ThumbnailRotation", 0) + Tag("SResolution", 600) +
         Tag("MResolution", 600) + Tag("ScanDuplex", 1) + "</DocProp>";
}

CgiAnswer GetFolderDocList(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  int result = kResultOk;
  std::optional<BoxInfo> b = RequestedBox(ctx, &result);
  if (!b) return ctx.Reply(result);
  if (!ctx.Has("FID")) return ctx.Reply(kResultBadRequest);
  BoxStore& store = ctx.device.store();
  std::optional<uint32_t> folder = FolderOf(store, b->number, ctx.Param("FID"));
  if (!folder ||
      (*folder != 0 && !store.GetItem(b->number, 0, ItemKind::kFolder, *folder)))
    return ctx.Reply(kResultNoSuchPath);
  std::string folders, docs;
  size_t nf = 0, nd = 0;
  for (const ItemInfo& it : store.ListItems(b->number, *folder)) {
    if (it.kind == ItemKind::kFolder) {
      ++nf;
      folders += FolderXml(it);
    } else {
      ++nd;
      docs += DocumentXml(it);
    }
  }
  return ctx.Reply(kResultOk,
                   "<Folders NumOfFolders=\"" + std::to_string(nf) + "\">" +
                       folders + "</Folders><Documents NumOfDocs=\"" +
                       std::to_string(nd) + "\">" + docs + "</Documents>");
}

CgiAnswer GetBoxDiskSpace(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  if (!AdminPasswordOk(ctx)) return ctx.Reply(kResultBadPassword);
  uint64_t capacity =
      FieldNumber(Extra(ctx, "disk.capacity", "8388608")).value_or(0);
  uint64_t used = KiB(ctx.device.store().UsedBytes());
  return ctx.Reply(kResultOk,
                   Tag("DiskCapacity", capacity) +
                       Tag("DiskAvailability", used >= capacity ? 0 : capacity - used));
}

CgiAnswer DeleteDoc(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  int result = kResultOk;
  std::optional<BoxInfo> b = RequestedBox(ctx, &result);
  if (!b) return ctx.Reply(result);
  if (!ctx.Has("FID") || ctx.Param("DID").empty())
    return ctx.Reply(kResultBadRequest);
  BoxStore& store = ctx.device.store();
  std::optional<uint32_t> folder = FolderOf(store, b->number, ctx.Param("FID"));
  if (!folder) return ctx.Reply(kResultNoSuchPath);
  std::optional<uint32_t> doc =
      DocumentOf(store, b->number, *folder, ctx.Param("DID"));
  std::string error;
  if (!doc ||
      !store.DeleteItem(b->number, *folder, ItemKind::kDocument, *doc, &error))
    return ctx.Reply(kResultNoSuchPath);
  return ctx.Reply(kResultOk);
}

CgiAnswer DeleteAllBox(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  if (!AdminPasswordOk(ctx)) return ctx.Reply(kResultBadPassword);
  BoxStore& store = ctx.device.store();
  for (const BoxInfo& b : store.ListBoxes()) {
    std::string error;
    if (!store.DeleteBox(b.number, &error)) return ctx.Reply(kResultNoSuchPath);
  }
  return ctx.Reply(kResultOk);
}

CgiAnswer DirSerialClusterChange(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  std::optional<uint32_t> box = FieldNumber(ctx.Param("BNO"));
  if (!box || !ctx.Has("FID") || !ctx.Has("DID") || !ctx.Has("NOC") ||
      !ctx.Has("MOD"))
    return ctx.Reply(kResultBadRequest);
  BoxCgiStateOf(ctx.device).AddClusterChange(
      {*box, ctx.Param("FID"), ctx.Param("DID"), ctx.Param("NOC"),
       ctx.Param("MOD")});
  return ctx.Reply(kResultOk);
}

CgiAnswer ChangeLastBackupDate(CgiContext& ctx) {
  if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
  if (!AdminPasswordOk(ctx)) return ctx.Reply(kResultBadPassword);
  std::optional<uint32_t> date = FieldNumber(ctx.Param("LBD"));
  std::optional<uint32_t> count = FieldNumber(ctx.Param("TNB"));
  if (!date || !count) return ctx.Reply(kResultBadRequest);
  std::vector<uint32_t> boxes;
  std::string list = ctx.Param("BNO");
  for (std::string_view rest = list; !rest.empty();) {
    size_t comma = rest.find(',');
    std::optional<uint32_t> n = FieldNumber(rest.substr(0, comma));
    if (!n) return ctx.Reply(kResultBadRequest);
    boxes.push_back(*n);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (boxes.empty() || boxes.size() != *count)
    return ctx.Reply(kResultBadRequest);
  BoxStore& store = ctx.device.store();
  for (uint32_t n : boxes) {
    std::optional<BoxInfo> b = store.GetBox(n);
    if (!b) return ctx.Reply(kResultNoSuchPath);
    b->last_backup_date = *date;
    std::string error;
    if (!store.UpdateBox(*b, &error)) return ctx.Reply(kResultNoSuchPath);
  }
  return ctx.Reply(kResultOk);
}

}  // namespace

DEVSIM_WEB_CGI(boxnwGetBoxList, "/TarnBox/Admin/boxnwGetBoxList", GetBoxList);
DEVSIM_WEB_CGI(boxnwGetBoxProperty, "/TarnBox/Admin/boxnwGetBoxProperty",
               GetBoxProperty);
DEVSIM_WEB_CGI(boxnwGetFolderDocList, "/TarnBox/Admin/boxnwGetFolderDocList",
               GetFolderDocList);
DEVSIM_WEB_CGI(boxnwGetBoxDiskSpace, "/TarnBox/Admin/boxnwGetBoxDiskSpace",
               GetBoxDiskSpace);
DEVSIM_WEB_CGI(boxnwDeleteDoc, "/TarnBox/Admin/boxnwDeleteDoc", DeleteDoc);
DEVSIM_WEB_CGI(boxnwDeleteAllBox, "/TarnBox/Admin/boxnwDeleteAllBox",
               DeleteAllBox);
DEVSIM_WEB_CGI(boxnwDirSerialClusterChange,
               "/TarnBox/Admin/boxnwDirSerialClusterChange",
               DirSerialClusterChange);
DEVSIM_WEB_CGI(boxnwChangeLastBackupDate,
               "/TarnBox/Admin/boxnwChangeLastBackupDate", ChangeLastBackupDate);

}  // namespace devsim::web

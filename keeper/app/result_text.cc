#include "keeper/app/result_text.h"

#include "keeper/app/br_error.h"
#include "keeper/app/strings.h"

namespace keeper {
namespace {

bool MeansDisconnected(uint32_t code) {
  switch (code) {
    case 12: case 50: case 58: case 1460: case 4319:
    case 12002: case 12004: case 12029:
      return true;
    default:
      return false;
  }
}

std::string ErrorText(uint32_t code, std::string_view address,
                      const desktop::Texts& texts, uint32_t storage_type = 0) {
  if (code == 0) return {};
  return cZBBoxBRError(code, storage_type).Text(address, texts);
}

bool IsUsEnglish(const desktop::Texts& texts) {
  return texts.LanguageId() == desktop::kLangEnglishUS;
}

std::string Above(std::string_view head, std::string_view body) {
  std::string out(head);
  if (!body.empty()) {
    out += '\n';
    out += body;
  }
  return out;
}

// A one-argument format of the string table ("%s").
std::string Format(std::string_view pattern, std::string_view arg) {
  std::string out(pattern);
  size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, arg);
  return out;
}

}  // namespace

ResultMessage BackupResultMessage(const JobResult& result,
                                  std::string_view address) {
  return BackupResultMessage(result, address, KeeperTexts());
}

ResultMessage RestoreResultMessage(const JobResult& result,
                                   std::string_view address,
                                   const StorageTypeQuery& storage_type) {
  return RestoreResultMessage(result, address, storage_type, KeeperTexts());
}

ResultMessage BackupResultMessage(const JobResult& result,
                                  std::string_view address,
                                  const desktop::Texts& texts) {
  ResultMessage m;
  switch (result.outcome) {
    case kOutcomeDone:
      m.text = Above(texts.Text(51), ErrorText(result.error, address, texts));
      m.severity = Severity::kInformation;
      break;
    case kOutcomeCancelled:
      m.text = Above(texts.Text(IsUsEnglish(texts) ? 10012 : 53),
                     ErrorText(result.error, address, texts));
      m.severity = Severity::kWarning;
      break;
    default:
      m.text = Above(texts.Text(52), ErrorText(result.error, address, texts));
      m.severity = Severity::kError;
      m.disconnected = MeansDisconnected(result.error);
      break;
  }
  return m;
}

ResultMessage RestoreResultMessage(const JobResult& result,
                                   std::string_view address,
                                   const StorageTypeQuery& storage_type,
                                   const desktop::Texts& texts) {
  ResultMessage m;
  if (result.outcome == kOutcomeDone) {
    m.text = std::string(texts.Text(54));
    return m;
  }
  if (result.outcome == kOutcomeCancelled) {
    m.text = std::string(texts.Text(IsUsEnglish(texts) ? 10013 : 56));
    m.severity = Severity::kWarning;
    return m;
  }
  m.severity = Severity::kError;
  uint32_t type = 0;
  if (result.error == 39) {
    if (!storage_type || !storage_type(&type)) {
      m.text = std::string(texts.Text(114));
      return m;
    }
  }
  m.disconnected = MeansDisconnected(result.error);
  std::string text = ErrorText(result.error, address, texts, type);
  if (result.error == 8260 || result.error == 39) {
    if (result.last_state == 9) {
      std::string where = result.box_name;
      if (!result.folder_name.empty()) where += "\\" + result.folder_name;
      text = Format(texts.Text(175), where);
    } else if (result.last_state == 10) {
      text = Format(texts.Text(176), result.box_name);
    }
  }
  m.text = result.error == 1314 ? text : Above(texts.Text(55), text);
  return m;
}

}  // namespace keeper

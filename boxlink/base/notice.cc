#include "boxlink/base/notice.h"

#include <string>

#include "boxlink/base/logger.h"

namespace boxlink {

void ShowNotice(std::string_view text, std::string_view caption,
                platform::NoticeKind kind) {
  if (platform::Notifier* n = platform::Notifier::Installed()) {
    n->Notify(text, caption, kind);
    return;
  }
  std::string line = "\n ==> ";
  if (!caption.empty()) {
    line += caption;
    line += ": ";
  }
  line += text;
  CLogger::LogText(line);
}

}  // namespace boxlink

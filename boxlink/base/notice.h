// Telling the user about a failure from inside the library.
//
// The text goes to the notifier the program installed (a message box in the
// desktop program); when none is installed it is written to the diagnostic
// log instead, so that it is never lost and never blocks a server process.
#pragma once

#include <string_view>

#include "platform/notifier.h"

namespace boxlink {

void ShowNotice(std::string_view text, std::string_view caption,
                platform::NoticeKind kind = platform::NoticeKind::kError);

}  // namespace boxlink

// The help of the discovery dialogs: HTML pages shipped beside the
// library, one per context, opened in the user's browser.
//
// The language library names the help file ("help/finder.html", through
// the product definition's resource entry "HELP"); the page of a context
// is that file with "-<context>" before its extension
// ("help/finder-1002.html").
#pragma once

#include <string>

#include "desktop/screen.h"
#include "desktop/texts.h"

namespace finder {

inline constexpr int kHelpContextList = 1002;
inline constexpr int kHelpContextSettings = 1003;

// The page of `context` for the help file `help_file` (relative to
// `folder`, or absolute). "" when there is no help file.
std::string HelpPage(const std::string& folder, const std::string& help_file,
                     int context);

// A file:// URL of an absolute path, with the characters a URL cannot hold
// percent-encoded.
std::string FileUrl(const std::string& path);

// Opens a help page in the browser; a page that is missing or that no
// browser takes is reported.
void OpenHelp(const std::string& page, const desktop::Texts& texts,
              desktop::Screen& screen);

}  // namespace finder

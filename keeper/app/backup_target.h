// The rules an archive path must follow, shared by the Backup page, the
// Restore page and the automatic backup.
//
// Paths are absolute POSIX paths. A path that starts with "//" is taken for
// a network path and refused; "//" elsewhere, and the characters * ? " < > |
// and the backslash, are refused as they cannot be handled safely by every
// tool that meets the archive later.
//
// The common target checks run before every backup, by hand or scheduled:
//
//   TargetCheck r = CheckBackupTarget(target, TargetCheckMode::kManual,
//                                     &screen);
//   if (!r.ok) { if (r.clear_field) ...; if (r.focus) ...; return; }
//
// With TargetCheckMode::kAutomatic nothing is shown, every question counts
// as Yes, and the refusal's text number comes back for the result log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "desktop/screen.h"
#include "keeper/app/shared_texts.h"

namespace keeper {

// Text numbers of the path rules.
inline constexpr uint32_t kTextNetworkPath = 179;
inline constexpr uint32_t kTextNotAbsolute = 180;
inline constexpr uint32_t kTextBadPath = 181;
inline constexpr uint32_t kTextFolderReadOnly = 65;
inline constexpr uint32_t kTextFolderNotCreated = 66;
inline constexpr uint32_t kTextFolderMissing = 139;
inline constexpr uint32_t kTextCreateFolderQuestion = 13015;
inline constexpr uint32_t kTextReplaceQuestion = 74;

// Ends in ".zip", in any case.
bool EndsInZip(std::string_view text);

// The first rule of typing a backup target that `text` breaks, as its text
// number, or 0: a forbidden character (181), a network path (179), "//"
// elsewhere (181), not an absolute path (180).
uint32_t BackupTypingProblem(std::string_view text);
// The same rules in the order the Restore page's archive field checks
// them: network path, "//" elsewhere, not absolute, forbidden character.
uint32_t RestoreTypingProblem(std::string_view text);

// The target's folder: the text up to and including its last "/"; empty
// when it has none.
std::string FolderOf(std::string_view target);

// The start's name rules (text 64 when broken): a file name with nothing
// before its last dot; a part of the path (a folder name or the file's
// base name) that begins or ends with a blank or is blanks only.
bool HasNameBeforeDot(std::string_view target);
bool PathPartsValid(std::string_view target);

enum class TargetCheckMode { kManual, kAutomatic };

struct TargetCheck {
  bool ok = false;
  // Text number of the refusal; 0 when ok or when the user declined.
  uint32_t message = 0;
  bool clear_field = false;  // the user declined to create the folder
  bool focus = false;        // the field gets the focus
};

// The common target checks: a name before ".zip"; a folder that is local
// and absolute; a missing folder created with all its levels after asking
// (13015, Yes/No: text 139 says only that the folder is missing); a
// folder that can be looked into. Messages have caption 43. `screen` may be null in the automatic
// mode.
TargetCheck CheckBackupTarget(std::string_view target, TargetCheckMode mode,
                              desktop::Screen* screen);

// Creates the folder with all missing levels. 0, or the text number of
// the failure: 65 for a location that may not be written, 66 otherwise.
uint32_t CreateFolderLevels(const std::string& folder);

}  // namespace keeper

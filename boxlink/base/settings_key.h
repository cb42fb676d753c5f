// The registry key under which the library reads its tuning values (FTP
// delays and statistics, the unlock retry). Users and tests set them there.
#ifndef BOXLINK_BASE_SETTINGS_KEY_H_
#define BOXLINK_BASE_SETTINGS_KEY_H_

namespace boxlink {

inline constexpr char kBoxLinkKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

}  // namespace boxlink

#endif  // BOXLINK_BASE_SETTINGS_KEY_H_

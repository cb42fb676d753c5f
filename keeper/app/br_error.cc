#include "keeper/app/br_error.h"

#include <initializer_list>

#include "keeper/app/strings.h"
#include "platform/last_error.h"
#include "platform/text.h"

namespace keeper {
namespace {

// Joins parts with line breaks; an empty address part is left out so that
// a caller without a device address gets no blank first line.
std::string Lines(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) {
    if (p.empty()) continue;
    if (!out.empty()) out += '\n';
    out += p;
  }
  return out;
}

bool IsNetworkFailure(uint32_t code) {
  switch (code) {
    case 4319: case 12002: case 12009: case 12029: case 12031:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool cZBBoxBRError::ClearsSkipDialog() const {
  uint32_t code = code_ ? code_ : platform::GetLastError();
  return code == 1460 || IsNetworkFailure(code);
}

std::string cZBBoxBRError::Text(std::string_view address) const {
  return Text(address, KeeperTexts());
}

std::string cZBBoxBRError::Text(std::string_view address,
                                const desktop::Texts& texts) const {
  auto S = [&texts](uint32_t id) { return texts.Text(id); };
  uint32_t code = code_ ? code_ : platform::GetLastError();
  if (code == 0) return {};
  std::string text;
  if (IsNetworkFailure(code)) {
    text = Lines({address, S(67), S(125)});
  } else {
    switch (code) {
      case 3: text = S(139); break;
      case 5: text = S(136); break;
      case 8: text = S(131); break;
      case 12: case 58: case 12004: text = Lines({address, S(128)}); break;
      case 39:
        text = storage_type_ == 1   ? S(10020)
               : storage_type_ == 2 ? S(10021)
                                    : S(142);
        break;
      case 50: text = Lines({address, S(138)}); break;
      case 100: text = S(103); break;
      case 112: text = S(126); break;
      case 170: text = Lines({address, S(115)}); break;
      case 183: text = S(137); break;
      case 257: text = Lines({S(129), S(10009)}); break;
      case 1058: text = S(196); break;
      case 1062: case 1371: text = S(201); break;
      case 1216: text = Lines({address, S(68)}); break;
      case 1260: text = S(195); break;
      case 1279: text = Lines({address, S(114), S(205)}) + "\n"; break;
      case 1314: text = S(12004); break;
      case 1325: text = S(12008); break;
      case 1327: text = S(194); break;
      case 1330: text = S(12007); break;
      case 1344: text = S(142); break;
      case 1460: text = S(117); break;
      case 1605: text = Lines({address, S(140)}); break;
      case 1907: text = S(12006); break;
      case 1909: text = S(12009); break;
      case 2250: text = S(132); break;
      case 4351: text = Lines({address, S(116)}); break;
      default: text = S(114); break;
    }
  }
  if (text.size() > kMaxText) {
    char buf[kMaxText + 1];
    size_t n = platform::CopyBounded(buf, sizeof buf, text);
    text.assign(buf, n);
  }
  return text;
}

}  // namespace keeper

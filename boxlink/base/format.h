// printf-style formatting into a std::string, for query texts, paths and
// names. The compiler checks the arguments against the format.
#ifndef BOXLINK_BASE_FORMAT_H_
#define BOXLINK_BASE_FORMAT_H_

#include <string>

namespace boxlink {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace boxlink

#endif  // BOXLINK_BASE_FORMAT_H_

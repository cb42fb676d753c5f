// The lines a progress display shows for a job's progress record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "keeper/app/job_backend.h"

namespace keeper {

// The string number of the phase text for a job state, or 0 for states
// that keep the text shown before (6 and unknown ones).
uint32_t PhaseStringForState(uint32_t state);

// The text a display starts with before the job reports a state.
uint32_t InitialPhaseString(JobKind kind);

// "Documents: 3 / 12".
std::string CountLine(uint32_t done, uint32_t total);

// box\folder\document, shortened to at most max_chars characters (UTF-8
// code points): the folder gives way to "..." first, then the document
// name is cut, then the box name.
std::string NameLine(std::string_view box, std::string_view folder,
                     std::string_view doc, size_t max_chars);

}  // namespace keeper

// The shared library's own translation unit. The exports themselves live
// in the layers (boxlink_base to boxlink_convert), which are linked in
// whole.
#include "boxlink.h"

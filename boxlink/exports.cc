// The shared library's own translation unit. The exports themselves live
// in boxlink_core, which is linked in whole.
#include "boxlink.h"

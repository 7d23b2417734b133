#include "platform/loader.h"

namespace platform {

bool HoldsLoaderLock() { return false; }

bool ProcessIsEnding() { return false; }

}  // namespace platform

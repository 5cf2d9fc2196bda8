#pragma once

#include <string>

namespace sys {

// The system's own words for a Windows error code, as UTF-8 without the trailing line break
// and stop; "error N" when the system has none.
std::string SystemMessage(unsigned long code);

}  // namespace sys

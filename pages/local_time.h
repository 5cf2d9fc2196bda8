#pragma once

#include <ctime>

#include "pages/value.h"

namespace pages {

// The moment in the system's own time zone, as the user's clock shows it.
std::tm LocalTime(Moment moment);

}  // namespace pages

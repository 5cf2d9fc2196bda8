#include "pages/local_time.h"

namespace pages {

std::tm LocalTime(Moment moment) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return parts;
}

}  // namespace pages

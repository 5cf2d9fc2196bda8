#include "pages/command_runner.h"

namespace pages {

std::string TimeoutText(std::chrono::milliseconds timeout) {
    if (timeout >= std::chrono::seconds(1)) {
        return "timed out after " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeout).count()) +
               " s";
    }
    return "timed out after " + std::to_string(timeout.count()) + " ms";
}

}  // namespace pages

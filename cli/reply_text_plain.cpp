#include "cli/console_log.h"

namespace cli {

// Without the toolkit there is no GBK decoder: the bytes go out as they came, which is
// what a console set to the module's code page shows correctly.
std::string ReplyText(std::string_view bytes) {
    return std::string(bytes);
}

}  // namespace cli

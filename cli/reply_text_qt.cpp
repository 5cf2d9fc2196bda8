#include "cli/console_log.h"
#include "cli/module_text.h"

namespace cli {

std::string ReplyText(std::string_view bytes) {
    return DecodeModuleText(bytes).toStdString();
}

}  // namespace cli

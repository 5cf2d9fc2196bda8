#include "cli/commands.h"

namespace cli {

int RunPagePreview(const Options&, ConsoleLog& log) {
    PrintError(log, "this build of lcdctl draws no pages");
    return kUsage;
}

int RunPageSend(const Options&, ConsoleLog& log) {
    PrintError(log, "this build of lcdctl sends no pages");
    return kUsage;
}

}  // namespace cli

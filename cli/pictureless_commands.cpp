#include "cli/commands.h"

namespace cli {

// Built without the toolkit (the Windows core build): no picture readers.
namespace {

int NoPictures(ConsoleLog& log) {
    PrintError(log, "this lcdctl was built without picture support");
    return kUsage;
}

}  // namespace

int RunSend(const Options&, ConsoleLog& log, serial::SerialPlatform&) {
    return NoPictures(log);
}

int RunStream(const Options&, ConsoleLog& log, serial::SerialPlatform&) {
    return NoPictures(log);
}

}  // namespace cli

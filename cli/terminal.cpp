#include <cerrno>

#include "cli/terminal.h"

namespace cli {

namespace {

bool g_output_closed = false;

}  // namespace

bool WriteOutput(const void* data, std::size_t size) {
    if (g_output_closed) {
        return true;
    }
    errno = 0;
    if (std::fwrite(data, 1, size, stdout) == size && std::fflush(stdout) == 0) {
        return true;
    }
    g_output_closed = errno == EPIPE;
    return g_output_closed;
}

}  // namespace cli

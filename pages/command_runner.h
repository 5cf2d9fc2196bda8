#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace pages {

struct CommandOutput {
    bool ok = false;
    std::string output;  // what it wrote to standard output, at most the limit
    std::string error;   // why it failed, when !ok: "timed out after 5 s", "exit status 2", ...
};

// Runs a program with its arguments, no shell between (argv[0] is looked up in PATH), with
// standard input from nothing and its errors discarded. At most `limit` bytes of its output
// are kept; it is killed, with everything it started, when `timeout` passes first.
CommandOutput RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         std::size_t limit);

// "timed out after 5 s", or "after 300 ms" below a second: how a timeout is told everywhere.
std::string TimeoutText(std::chrono::milliseconds timeout);

}  // namespace pages

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/console_log.h"
#include "cli/options.h"

// lcdctl through a running lcdhub: its commands draw on a screen of the hub's instead of
// taking the port.
namespace cli {

struct HubChoice {
    std::string path;     // the hub to go through; empty: the port itself
    std::string problem;  // a --hub that does not answer
};

// --hub, else the first hub that answers where one listens; none with --direct.
HubChoice FindHub(const Options& options);

// Decides the way for the command: `options.hub` becomes the hub to go through, or empty
// with `options.direct` for the port itself. kDone, or the status to exit with (a --hub that
// does not answer, release or status with no hub), its reason printed.
int RouteThroughHub(Options& options, ConsoleLog& log);

// For a port that would not open: a hub that runs and may hold it, as a hint; else empty.
std::string HubHint();

// The command through the hub at `path`; `frame` is the screen's content for send and
// pattern. The exit status, its reason printed.
int RunThroughHub(const Options& options, ConsoleLog& log, const std::string& path,
                  const std::vector<std::uint8_t>* frame = nullptr);

// Whether `event` tells of KIND ("sent", "unanswered") for the screen's frame that the hub
// numbered `version`, or for a newer one that replaced it: an earlier frame's is not ours.
bool IsEventOfOurFrame(const std::string& event, const std::string& kind, const std::string& screen,
                       std::optional<std::uint64_t> version);

// A stream's frames through the hub, each replacing the last on the stream's screen.
class HubStream {
public:
    HubStream(const Options& options, ConsoleLog& log, const std::string& path);
    ~HubStream();
    // kDone once the screen is ready, else the status to exit with.
    int Open();
    // False once the hub is gone or refused the frame (said why).
    bool Send(const std::vector<std::uint8_t>& frame);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace cli

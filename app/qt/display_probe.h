#pragma once

#include <optional>
#include <string>

// Whether the window system the toolkit will use can be reached, asked before the toolkit
// starts: the toolkit aborts the program when it cannot connect.
// Nothing when it can be reached, or when the toolkit is told another way (a platform
// named in QT_QPA_PLATFORM or with -platform, a Wayland session); otherwise the one line
// that says why not.
std::optional<std::string> DisplayProblem(int argc, char** argv);

#pragma once

#include <string>
#include <string_view>

// The module's replies are GBK bytes: as UTF-8 text, undecodable bytes as U+FFFD. Where the
// platform has no GBK decoder the bytes pass unchanged, which a console set to the module's
// code page shows correctly.
std::string DecodeModuleText(std::string_view bytes);

// Text from the module (or whatever else answers on the port), made safe to write to a
// terminal or a log file: control characters other than tab and line feed (C0, DEL and
// the C1 range U+0080-U+009F) and bytes that are no valid UTF-8 become \xNN, one for each
// byte, so that a reply cannot retitle, clear or reprogram the operator's terminal. Valid
// UTF-8 text, backslashes included, passes unchanged.
std::string EscapeForDisplay(std::string_view text);

#pragma once

#include <string>
#include <string_view>

// The module's replies are GBK bytes: as UTF-8 text, undecodable bytes as U+FFFD. Where the
// platform has no GBK decoder the bytes pass unchanged, which a console set to the module's
// code page shows correctly.
std::string DecodeModuleText(std::string_view bytes);

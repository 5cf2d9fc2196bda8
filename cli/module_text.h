#pragma once

#include <string_view>

#include <QString>

// The module's replies are GBK bytes; undecodable bytes become U+FFFD.
QString DecodeModuleText(std::string_view bytes);

#pragma once

#include <string>
#include <string_view>

// The panel speaks UTF-8; Windows' wide calls speak UTF-16.
namespace win32ui {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace win32ui

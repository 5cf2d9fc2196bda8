#include "pictures/module_text.h"

std::string DecodeModuleText(std::string_view bytes) {
    return std::string(bytes);
}

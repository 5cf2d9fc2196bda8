#pragma once

#include <string>

#include "imaging/graphic.h"

namespace imaging {

// Our own decoder error codes, numbered past libjpeg's through its add-on message table.
inline constexpr int kJpegFirstAddonCode = 1000;
// More scans than any real progressive file has (they have about ten): each scan of a large
// picture costs a pass over all of it, so thousands of empty ones would freeze the window.
inline constexpr int kJpegTooManyScans = kJpegFirstAddonCode;
inline constexpr int kJpegMaxScans = 100;

// A fatal error of the JPEG decoder; the code is the installed libjpeg's message code.
class EJPEG : public EInvalidGraphic {
public:
    explicit EJPEG(int code)
        : EInvalidGraphic("JPEG error #" + std::to_string(code)), m_code(code) {}

    int Code() const { return m_code; }

private:
    int m_code;
};

}  // namespace imaging

#pragma once

#include <string>

#include "imaging/graphic.h"

namespace imaging {

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

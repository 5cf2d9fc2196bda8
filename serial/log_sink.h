#pragma once

#include <string_view>

namespace serial {

// Where the core reports to the operator's activity log. The core never reaches the
// window itself; the application (or a test) supplies the sink.
class LogSink {
public:
    virtual ~LogSink() = default;

    // One line of the panel's own text, UTF-8.
    virtual void LogLine(std::string_view text) = 0;

    // One reply from the module: its bytes as received, up to the first NUL. The module
    // speaks the host's GBK code page; decoding is the sink's business.
    virtual void LogReply(std::string_view bytes) = 0;
};

}  // namespace serial

#pragma once

#include <string>
#include <vector>

#include "serial/log_sink.h"

namespace testing_support {

// Records what the core logs, in order; replies are kept apart from the panel's own lines.
class RecordingLog : public serial::LogSink {
public:
    struct Entry {
        bool is_reply;
        std::string text;
    };
    void LogLine(std::string_view text) override { entries.push_back({false, std::string(text)}); }
    void LogReply(std::string_view bytes) override {
        entries.push_back({true, std::string(bytes)});
    }
    std::vector<std::string> Texts() const { return Select(true, true); }
    std::vector<std::string> Lines() const { return Select(true, false); }  // the panel's own
    std::vector<std::string> Replies() const { return Select(false, true); }

    std::vector<Entry> entries;

private:
    std::vector<std::string> Select(bool lines, bool replies) const {
        std::vector<std::string> texts;
        for (const Entry& e : entries)
            if (e.is_reply ? replies : lines)
                texts.push_back(e.text);
        return texts;
    }
};

}  // namespace testing_support

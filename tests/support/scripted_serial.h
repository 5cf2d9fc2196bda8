#pragma once

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "serial/serial_platform.h"

namespace testing_support {

// A device whose input arrives in chunks at chosen polls. The poll number is the count of
// sleeps the platform has seen, so reads are timed in polls: its clock says 1 ms a poll.
struct ScriptedLine {
    std::map<int, std::string> chunks_at_poll;  // poll number (1-based) -> bytes arriving
    std::string queued_at_open;                 // left over from an earlier exchange
    int status_fails_from_poll = 0;             // 0: never; else every poll from this one
    bool read_fails = false;
    serial::WriteOutcome write_outcome = serial::WriteOutcome::Sent;
    std::deque<char> input;
    std::vector<long long> write_timeouts_ms;
    int polls = 0;
};

class ScriptedDevice : public serial::SerialDevice {
public:
    explicit ScriptedDevice(ScriptedLine& line) : m_line(line) {}
    bool ApplyLineSettings(std::int32_t) override { return true; }
    std::optional<std::size_t> BytesWaiting() override {
        if (m_line.status_fails_from_poll != 0 && m_line.polls >= m_line.status_fails_from_poll)
            return std::nullopt;
        return m_line.input.size();
    }
    std::optional<std::size_t> Read(std::uint8_t* dst, std::size_t max) override {
        if (m_line.read_fails)
            return std::nullopt;
        std::size_t n = 0;
        for (; n < max && !m_line.input.empty(); ++n) {
            dst[n] = static_cast<std::uint8_t>(m_line.input.front());
            m_line.input.pop_front();
        }
        return n;
    }
    serial::WriteResult Write(const std::uint8_t*, std::size_t count,
                              std::chrono::milliseconds timeout) override {
        m_line.write_timeouts_ms.push_back(timeout.count());
        if (m_line.write_outcome != serial::WriteOutcome::Sent)
            return {0, m_line.write_outcome};
        return {count, serial::WriteOutcome::Sent};
    }
    void WaitForInput(std::chrono::microseconds) override {}

private:
    ScriptedLine& m_line;
};

// Hands out scripted devices for the paths that exist.
class ScriptedPlatform : public serial::SerialPlatform {
public:
    ScriptedLine line;
    std::set<std::string> existing = {"/dev/ttyS0"};
    std::vector<std::string> candidates = {"ttyS0"};
    // What a path that does not exist gives as the reason.
    serial::OpenFailure failure{2, "No such file or directory", {}};

    std::unique_ptr<serial::SerialDevice> OpenExclusive(const std::string& path,
                                                        serial::OpenFailure* why) override {
        if (!existing.count(path)) {
            if (why)
                *why = failure;
            return nullptr;
        }
        line.input.assign(line.queued_at_open.begin(), line.queued_at_open.end());
        return std::make_unique<ScriptedDevice>(line);
    }
    void SleepAboutOneMs() override {
        auto chunk = line.chunks_at_poll.find(++line.polls);
        if (chunk != line.chunks_at_poll.end())
            line.input.insert(line.input.end(), chunk->second.begin(), chunk->second.end());
    }
    std::chrono::steady_clock::time_point Now() const override {
        return std::chrono::steady_clock::time_point(std::chrono::milliseconds(line.polls));
    }
    std::string DevicePath(const std::string& name) const override { return "/dev/" + name; }
    std::vector<std::string> PortCandidates() const override { return candidates; }
};

}  // namespace testing_support

#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "serial/serial_link.h"
#include "sim/module_sim.h"
#include "support/recording_log.h"

namespace testing_support {

// The real POSIX serial link against a simulated module on a pseudo-terminal.
class ModuleFixture : public ::testing::Test {
protected:
    void StartModule(sim::ModuleOptions options) {
        options.pace = false;
        m_module = std::make_unique<sim::PtyModule>(options);
        m_module->Start();
    }
    // Host lines the module took in, each with the speed the host's line ran at.
    std::vector<std::pair<int, std::string>> HostLines() const {
        std::vector<std::pair<int, std::string>> lines;
        for (const sim::TranscriptEntry& e : m_module->Transcript())
            if (e.from == sim::TranscriptEntry::From::Host &&
                e.kind == sim::TranscriptEntry::Kind::Line)
                lines.emplace_back(e.baud, e.bytes);
        return lines;
    }

    std::unique_ptr<serial::SerialPlatform> m_platform = serial::MakeNativeSerialPlatform();
    RecordingLog m_log;
    serial::SerialLink m_link{*m_platform, m_log};
    std::unique_ptr<sim::PtyModule> m_module;
};

// A simulated module by what sets it apart, one named change after another:
// Module().Unpaced().StartingAt(921600).
class Module {
public:
    Module& Silent() { return Set(m_options.silent, true); }
    Module& Unpaced() { return Set(m_options.pace, false); }
    Module& StartingAt(int baud) { return Set(m_options.start_baud, baud); }
    Module& ReplyingAfter(std::string prefix) { return Set(m_options.reply_prefix, prefix); }
    Module& RefusingSpeedChange() { return Set(m_options.refuse_speed_change, true); }
    Module& MuteAfterSpeedChange() { return Set(m_options.mute_after_speed_change, true); }
    Module& StallingAfterHeader() { return Set(m_options.stall_after_header, true); }
    Module& HangingUpAfter(int bytes) { return Set(m_options.hang_up_after_bytes, bytes); }
    Module& NotAcknowledging() { return Set(m_options.no_acknowledge, true); }
    operator sim::ModuleOptions() const { return m_options; }

private:
    template <typename Field, typename Value>
    Module& Set(Field& field, Value value) {
        field = std::move(value);
        return *this;
    }

    sim::ModuleOptions m_options;
};

}  // namespace testing_support

#pragma once

#include <gtest/gtest.h>

#include <memory>

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

// Module options changed by one setter, for tables of faults.
inline sim::ModuleOptions With(void (*set)(sim::ModuleOptions&)) {
    sim::ModuleOptions options;
    set(options);
    return options;
}

}  // namespace testing_support

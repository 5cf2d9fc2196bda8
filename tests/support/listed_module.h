#pragma once

#include <memory>

#include "sim/module_sim.h"
#include "support/listed_ports.h"

namespace testing_support {

// An unpaced simulated module, started and listed as the only port the scan finds.
inline std::unique_ptr<sim::PtyModule> StartListedModule(ListedPortsPlatform& platform) {
    sim::ModuleOptions options;
    options.pace = false;
    auto module = std::make_unique<sim::PtyModule>(options);
    module->Start();
    platform.ports.push_back(module->SlavePath());
    return module;
}

}  // namespace testing_support

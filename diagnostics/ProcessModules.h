#pragma once

#include "diagnostics/pwutil/PwUtil.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tvrn2 {

// Where an address of code lies: its module's file name (no directory), the
// number of the loadable segment that holds it (from 1, in the module's own
// order) and the offset inside that segment.
struct CodeLocation {
    std::string module;
    unsigned section = 0;
    std::uintptr_t offset = 0;
};

// Questions about the modules loaded in this process.
class ProcessModules {
public:
    // The program's own file, or nothing when the system cannot say.
    static std::optional<std::string> programPath();

    // The path of the module whose image starts at `module` (the program's
    // own path for the program); empty when no module starts there.
    static std::string pathOf(pw::ModuleHandle module);

    static std::optional<CodeLocation> locate(std::uintptr_t address);
};

} // namespace tvrn2

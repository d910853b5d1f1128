#pragma once

#include "framework/ErrorManager.h"
#include "framework/IniManager.h"
#include "framework/RegistryReader.h"
#include "platform/FixedText.h"

#include <functional>

namespace tvrn2 {

// The program-wide objects and the entry procedure that creates them, runs the
// main window procedure and tears them down again.
class Program {
public:
    static constexpr const char* iniFileName = "tvrn2.INI";

    using Procedure = std::function<void(Program&)>;
    explicit Program(Procedure mainProcedure);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up, the main procedure, shut-down; returns the exit code.
    int run();

    ErrorManager GlobalErrors;
    IniManager INIMgr;
    RegistryReader Registry;
    // The installer's path, shown and edited in the main window and checked
    // by the verification.
    CString<256> CSFILEPATH;

private:
    Procedure m_main;
};

} // namespace tvrn2

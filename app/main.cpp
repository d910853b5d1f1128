#include "app/Main.h"

#include "app/Program.h"
#include "diagnostics/Diagnostics.h"
#include "platform/DebugOutput.h"
#include "platform/SystemInfo.h"

#include <string_view>
#include <vector>

namespace {

// Takes "--screenshot FILE" out of the arguments, so that the rest of the
// program (which reads its switches from the command line) never sees it.
tvrn2::MainRun takeRunOptions(int argc, char** argv, std::vector<const char*>& rest)
{
    tvrn2::MainRun run;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && i + 1 < argc && std::string_view(argv[i]) == "--screenshot") {
            run.screenshot = argv[++i];
            continue;
        }
        rest.push_back(argv[i]);
    }
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<const char*> arguments;
    tvrn2::MainRun run = takeRunOptions(argc, argv, arguments);
    tvrn2::setCommandLine(static_cast<int>(arguments.size()), arguments.data());
    tvrn2::startDebugOutput();
    tvrn2::startDiagnostics();
    int exitCode = 0;
    try {
        exitCode = tvrn2::Program([&run](tvrn2::Program& program) { tvrn2::Main(program, run); }).run();
    } catch (...) {
        // Caught only so that the stack unwinds and the program's objects put
        // the desktop back as they found it; the exception then goes on to
        // the diagnostics' report of uncaught exceptions.
        throw;
    }
    tvrn2::stopDiagnostics();
    if (exitCode == 0 && !run.screenshot.empty() && !run.screenshotSaved)
        exitCode = 1;
    return exitCode;
}

#include "app/Main.h"

#include "app/Program.h"
#include "diagnostics/Diagnostics.h"
#include "platform/SystemInfo.h"

int main(int argc, char** argv)
{
    tvrn2::setCommandLine(argc, argv);
    tvrn2::startDiagnostics();
    int exitCode = 0;
    try {
        exitCode = tvrn2::Program(tvrn2::Main).run();
    } catch (...) {
        // Caught only so that the stack unwinds and the program's objects put
        // the desktop back as they found it; the exception then goes on to
        // the diagnostics' report of uncaught exceptions.
        throw;
    }
    tvrn2::stopDiagnostics();
    return exitCode;
}

#include "app/Main.h"

#include "app/LoadedPageSnapshot.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "platform/Halt.h"
#include "platform/gtk/GtkBackend.h"

#include <cstdio>
#include <optional>

namespace tvrn2 {

void Main(Program& program)
{
    MainRun run;
    Main(program, run);
}

void Main(Program& program, MainRun& run)
{
    if (!GtkBackend::available()) {
        // Without a screen there is no window to run: end the way a failure
        // does, with the desktop's settings put back.
        std::fputs("tvrn2: no display to show the window on\n", stderr);
        haltProgram(1);
    }
    GtkBackend screen;
    MainWindow window(program.GlobalErrors, program.Registry, program.CSFILEPATH);
    std::optional<LoadedPageSnapshot> snapshot;
    if (!run.screenshot.empty())
        snapshot.emplace(window, run.screenshot);
    window.Execute();
    if (!snapshot)
        return;
    const std::string file = run.screenshot.string();
    switch (snapshot->outcome()) {
    case LoadedPageSnapshot::Outcome::Saved:
        std::printf("tvrn2: window picture saved to %s\n", file.c_str());
        run.screenshotSaved = true;
        break;
    case LoadedPageSnapshot::Outcome::SavedBeforeLoad:
        std::printf("tvrn2: window picture saved to %s (the page was still loading)\n", file.c_str());
        run.screenshotSaved = true;
        break;
    case LoadedPageSnapshot::Outcome::Failed:
        std::fprintf(stderr, "tvrn2: cannot save the window picture %s: %s\n", file.c_str(),
            snapshot->error().c_str());
        break;
    case LoadedPageSnapshot::Outcome::Waiting:
        std::fprintf(stderr, "tvrn2: the window closed before its picture was taken\n");
        break;
    }
    std::fflush(stdout);
}

} // namespace tvrn2

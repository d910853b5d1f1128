#include "app/Main.h"

#include "app/MainWindow.h"
#include "app/Program.h"
#include "platform/Halt.h"
#include "platform/gtk/GtkBackend.h"

#include <cstdio>

namespace tvrn2 {

void Main(Program& program)
{
    if (!GtkBackend::available()) {
        // Without a screen there is no window to run: end the way a failure
        // does, with the desktop's settings put back.
        std::fputs("tvrn2: no display to show the window on\n", stderr);
        haltProgram(1);
    }
    GtkBackend screen;
    MainWindow window(program.GlobalErrors, program.Registry, program.CSFILEPATH);
    window.Execute();
}

} // namespace tvrn2

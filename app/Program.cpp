#include "app/Program.h"

#include "app/DragOptionSwitch.h"
#include "browser_host/FeProcess.h"
#include "platform/ProgramEndRequests.h"
#include "platform/Window.h"

namespace tvrn2 {

Program::Program(Procedure mainProcedure)
    : m_main(std::move(mainProcedure))
{ }

namespace {

// The session's request to end (a signal) closes the window the program runs
// in, as a user's close does; the rest of the run then shuts down as usual.
// Not taken while no window is open yet.
bool closeDown(const std::string&)
{
    Window* window = Window::current();
    if (!window || !window->isOpen())
        return false;
    window->post(Event::CloseDown);
    return true;
}

} // namespace

int Program::run()
{
    // A run that ended without its shut-down (killed, crashed, or unable to
    // write the store at its exit) left the drag option off: first of all,
    // it is put back.
    DragOptionSwitch::restoreLeftOver();
    ProgramEndRequests endRequests(closeDown);

    feProcessStart();

    GlobalErrors.Init();
    INIMgr.Init(iniFileName);
    Registry.QUIETMODE = 1;
    Registry.Init();
    // Restores the option itself if the main procedure throws; a halt finds
    // its emergency restorer.
    DragOptionSwitch drag;
    endRequests.whenDisplayLost([&] {
        drag.restore();
        INIMgr.Kill();
    });

    m_main(*this);
    // From here on the close goes its usual way, display or not.
    endRequests.whenDisplayLost({});

    INIMgr.OnClosing();
    Registry.Kill();
    feDispose::Kill();
    drag.restore();
    INIMgr.Kill();
    GlobalErrors.Kill();

    feProcessEnd();
    return 0;
}

} // namespace tvrn2

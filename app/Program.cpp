#include "app/Program.h"

#include "app/DragOptionSwitch.h"
#include "browser_host/FeProcess.h"

namespace tvrn2 {

Program::Program(Procedure mainProcedure)
    : m_main(std::move(mainProcedure))
{ }

int Program::run()
{
    feProcessStart();

    GlobalErrors.Init();
    INIMgr.Init(iniFileName);
    Registry.QUIETMODE = 1;
    Registry.Init();
    // Restores the option itself if the main procedure throws; a halt finds
    // its emergency restorer.
    DragOptionSwitch drag;

    m_main(*this);

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

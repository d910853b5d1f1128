#include "tests/support/VirtualDisplay.h"

#include <chrono>

namespace tvrn2::test {

VirtualDisplay::VirtualDisplay()
    : m_server({ "Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset" })
{
    // The server writes its display number once it accepts connections.
    const std::string number = m_server.firstLine(std::chrono::seconds(20));
    if (!number.empty())
        m_name = ":" + number;
}

} // namespace tvrn2::test

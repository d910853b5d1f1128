#include "app/DragOptionSwitch.h"

#include "platform/SystemParameters.h"

namespace tvrn2 {
namespace {
constexpr std::uint32_t updateFlags = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;
} // namespace

DragOptionSwitch::DragOptionSwitch()
{
    std::int32_t value = 0;
    if (!systemParametersInfo(SPI_GETDRAGFULLWINDOWS, 0, &value, 0))
        return;
    m_saved = value;
    if (m_saved != 1)
        return;
    // Registered before switching, so a halt at any later moment finds it.
    m_restorer.emplace(&DragOptionSwitch::switchOn);
    if (!systemParametersInfo(SPI_SETDRAGFULLWINDOWS, 0, nullptr, updateFlags))
        m_restorer.reset(); // still on: nothing to put back
}

DragOptionSwitch::~DragOptionSwitch()
{
    restore();
}

void DragOptionSwitch::restore()
{
    if (!m_restorer)
        return;
    m_restorer.reset();
    switchOn();
}

void DragOptionSwitch::switchOn()
{
    systemParametersInfo(SPI_SETDRAGFULLWINDOWS, 1, nullptr, updateFlags);
}

} // namespace tvrn2

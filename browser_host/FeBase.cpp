#include "browser_host/FeBase.h"

#include "platform/DebugOutput.h"
#include "platform/FixedText.h"

namespace tvrn2 {

std::string FeBase::traceLine(std::string_view message, std::int32_t number, bool raw)
{
    auto text = clip(message);
    text = text.substr(0, std::min(text.size(), maxTraceMessage));

    std::string line;
    if (!raw) {
        line = "FE [";
        line += number ? std::to_string(number) : std::string("?");
        line += "] : ";
    }
    // The line is not squeezed into a fixed buffer: a four-digit or negative
    // number in front of a full-length message must not cost the line its end.
    line += text;
    line += "\r\n";
    return line;
}

void FeBase::Trace(std::string_view message, std::int32_t number, std::uint8_t raw, std::uint8_t force,
    std::uint8_t useOwnNumber)
{
    if (DEBUGGING == 0 && force == 0)
        return;
    if (useOwnNumber == 1)
        number = CLASSINSTANCENUMBER;
    outputDebugString(traceLine(message, number, raw == 1));
}

} // namespace tvrn2

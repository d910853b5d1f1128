#pragma once

#include "platform/FixedText.h"

#include <cstdint>
#include <vector>

namespace tvrn2 {

// What the element walker learns about the element it is visiting; cleared
// before each element.
struct ElementInfo {
    PaddedString<255> ELEMENTTAGNAME;
    PaddedString<255> ELEMENTID;
    PaddedString<255> ELEMENTNAME;
    PaddedString<255> ELEMENTTYPE;
    PaddedString<255> ELEMENTVALUE;
    PaddedString<255> ELEMENTVALUE2;
    PaddedString<255> ELEMENTVALUE3;
    PaddedString<255> ELEMENTVALUE4;
    PaddedString<255> ELEMENTVALUE5;
    std::uint8_t CHECKEDSTATUS { 0 };
};

// One row of the caller's element queue, in visiting order.
struct ElementQueueRow {
    std::int32_t RecordID { 0 };
    PaddedString<100> ElementName;
    PaddedString<100> ElementID;
    PaddedString<100> ElementType;
    PaddedString<100> ElementTagName;
    PaddedString<255> ElementValue;
    PaddedString<255> ElementValue2;
    PaddedString<255> ElementValue3;
    PaddedString<255> ElementValue4;
    PaddedString<255> ElementValue5;
    std::uint8_t CheckedStatus { 0 };
};

using ElementQueue = std::vector<ElementQueueRow>;

} // namespace tvrn2

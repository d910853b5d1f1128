#pragma once

#include "platform/FixedText.h"
#include "platform/Registry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tvrn2 {

// Reads string values from the registry. In quiet mode a failure only leaves
// its traces in LASTOP, LASTKEYNAME and LASTERROR; otherwise it is also shown.
class RegistryReader {
public:
    static constexpr std::size_t dataBufferSize = 4096;

    RegistryReader() = default;
    RegistryReader(const RegistryReader&) = delete;
    RegistryReader& operator=(const RegistryReader&) = delete;

    // Creates the list of value names; Kill releases it.
    void Init();
    void Kill();

    // How much of a value's text a read answers: what the 255-character
    // result holds, or all of it, for a path a file operation will use.
    enum class Length { Field, Whole };

    // The data of the value whose name matches (ignoring case and trailing
    // blanks), trailing blanks removed and cut to 255 characters (unless the
    // whole text is asked for); empty when the key has no such value or
    // cannot be read.
    std::string GetStringValue(
        HKEY root, std::string_view keyPath, std::string_view valueName, Length length = Length::Field);

    // The names of the values the last read walked past, in the key's order.
    const std::vector<std::string>* valueNames() const { return m_valueNames.get(); }

    std::uint8_t QUIETMODE { 0 };
    PaddedString<255> LASTOP;
    PaddedString<255> LASTERROR;
    PaddedString<255> LASTKEYNAME;

private:
    std::string fail(const char* operation, std::string_view keyPath, std::int32_t code);

    std::unique_ptr<std::vector<std::string>> m_valueNames;
};

} // namespace tvrn2

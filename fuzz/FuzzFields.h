#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tvrn2::fuzz {

// The separator between the fields of one input (the ASCII unit separator),
// so that a seed stays readable text and any byte may appear inside a field.
inline constexpr char fieldSeparator = '\x1f';

// Splits an input into exactly `count` fields: missing ones are empty, the
// last one takes the rest of the input, separators included.
inline std::vector<std::string_view> splitFields(
    const std::uint8_t* data, std::size_t size, std::size_t count)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        auto end = rest.find(fieldSeparator);
        fields.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    fields.push_back(rest);
    return fields;
}

// Stops the run with the input's name in the sanitizer's report when a
// property does not hold; a plain abort is what the fuzzer catches.
[[noreturn]] void fail(const char* what);

} // namespace tvrn2::fuzz

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::tvrn2::fuzz::fail(#condition);                                                                 \
    } while (0)

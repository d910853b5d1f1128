#pragma once

#include <string_view>

namespace tvrn2 {

// Where the error manager writes its log lines. Each operation returns 0 on
// success and 5 on failure.
class ErrorLog {
public:
    virtual ~ErrorLog() = default;

    virtual int Open(bool force = false) = 0;
    virtual int Close(bool force = false) = 0;
    virtual int Write(std::string_view text) = 0;
};

} // namespace tvrn2

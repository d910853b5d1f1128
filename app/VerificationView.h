#pragma once

#include <string_view>

namespace tvrn2 {

// What the file verification does to the main window, so it can run without one.
class VerificationView {
public:
    // Redisplays ?CSFILEPATH with the path being checked.
    virtual void showFilePath(std::string_view path) = 0;
    // Sets ?VALIDSTRING and redisplays it.
    virtual void showValidString(std::string_view text) = 0;
    // Redisplays ?FILECHECKSUM.
    virtual void showChecksum(std::string_view checksum) = 0;
    // The wait cursor while the file is read, the normal one after.
    virtual void setWaitCursor(bool wait) = 0;
    // Switches the window timer off, which ends the watch.
    virtual void stopTimer() = 0;

protected:
    ~VerificationView() = default;
};

} // namespace tvrn2

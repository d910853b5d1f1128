#pragma once

#include "framework/ErrorLog.h"

#include <cstdint>
#include <filesystem>

namespace tvrn2 {

// The error manager's own log: a text file, one line per record, opened and
// closed around every write and shared with nobody's restriction.
class StandardErrorLog final : public ErrorLog {
public:
    static constexpr const char* defaultName = "KWXError.Log";
    static constexpr std::size_t recordLength = 1024;

    explicit StandardErrorLog(std::filesystem::path file = defaultName);
    ~StandardErrorLog() override;
    StandardErrorLog(const StandardErrorLog&) = delete;
    StandardErrorLog& operator=(const StandardErrorLog&) = delete;

    // Opens the file (creating it) when nobody holds it open, or when forced;
    // counts the holders.
    int Open(bool force = false) override;
    // Closes the file when the last holder lets go, or when forced.
    int Close(bool force = false) override;
    // Appends one record holding the text, cut to the record length.
    int Write(std::string_view text) override;

    const std::filesystem::path& file() const { return m_file; }

    std::int32_t USAGE { 0 };

private:
    void closeFile();

    std::filesystem::path m_file;
    int m_fd { -1 };
};

} // namespace tvrn2

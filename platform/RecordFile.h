#pragma once

#include "platform/Files.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tvrn2 {

// What an open binary file lets others do while it is open.
enum class ShareMode {
    DenyNone,
    // Others may read but not write: an advisory read lock over the whole
    // file, which a writer that locks (or wants the lock) cannot get.
    DenyWrite,
};

// A binary file opened for reading whose records are read at 1-based byte
// positions. Reads are served from one large buffer filled with big aligned
// reads, so reading a file record by record costs one system call per buffer,
// not one per record.
class RecordFile {
public:
    static constexpr std::size_t defaultBufferSize = std::size_t { 1 } << 20;

    explicit RecordFile(std::size_t bufferSize = defaultBufferSize);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    FileError open(const std::string& path, ShareMode share = ShareMode::DenyWrite);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }

    // The file's length in bytes now.
    FileSize size() const;

    struct Read {
        // The bytes read: as many as asked, fewer only at the end of the file
        // (none past it). A view stays valid until the next read or close.
        std::span<const char> bytes;
        FileError error;
    };

    // A view of `length` bytes from the 1-based byte `position`, without a
    // copy. `length` may be at most the buffer size less 4 KiB.
    Read view(std::int64_t position, std::size_t length);

    // The same bytes copied into `into` (as many as it holds).
    Read read(std::int64_t position, std::span<char> into);

private:
    FileError fill(std::int64_t offset);

    std::string m_path;
    int m_fd { -1 };
    std::size_t m_capacity;
    std::unique_ptr<char[]> m_buffer;
    std::int64_t m_start { 0 }; // file offset of the buffer's first byte
    std::size_t m_filled { 0 }; // valid bytes in the buffer
};

} // namespace tvrn2

#pragma once

#include "app/EvpMdCtx.h"
#include "platform/Files.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tvrn2 {

class RecordFile;

// The MD5 digest of a file read record by record, as the verification reads
// the installer; the benchmark runs the very same code.
class RecordDigest {
public:
    static constexpr std::size_t recordSize = 1024;
    static constexpr const char* hexDigits = "0123456789abcdef";

    EvpMdCtx::Digest bytes {};
    // A failed or short read: the digest is worthless.
    FileError error;

    // Digests the first `size` bytes of an open file: whole records from the
    // start, then the tail taken from the end of the file's last record.
    static RecordDigest of(RecordFile& file, std::int64_t size, EvpMdCtx& md5);

    // 32 lower-case hexadecimal digits, high nibble first.
    static std::string hex(const EvpMdCtx::Digest& digest);
};

} // namespace tvrn2

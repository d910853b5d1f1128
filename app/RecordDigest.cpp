#include "app/RecordDigest.h"

#include "platform/RecordFile.h"

namespace tvrn2 {
namespace {

FileError shortRead()
{
    return { FileErrorCode::FileSystemError, std::string(fileErrorText(FileErrorCode::FileSystemError)), 0,
        "The file ended before the size it had when it was opened" };
}

RecordDigest digestFailed(RecordDigest& result)
{
    result.error
        = { FileErrorCode::FileSystemError, std::string(fileErrorText(FileErrorCode::FileSystemError)), 0,
              "The MD5 digest could not be computed" };
    return result;
}

} // namespace

RecordDigest RecordDigest::of(RecordFile& file, std::int64_t size, EvpMdCtx& md5)
{
    RecordDigest result;
    if (!md5.init())
        return digestFailed(result);
    const auto record = static_cast<std::int64_t>(recordSize);
    std::int64_t blocks = size / record;
    std::int64_t remainder = size % record;
    std::size_t chunk = recordSize;
    if (size < record) {
        blocks = 1;
        remainder = 0;
        chunk = static_cast<std::size_t>(size);
    }

    std::int64_t position = 1;
    for (std::int64_t n = 0; n < blocks; ++n, position += record) {
        RecordFile::Read got = file.view(position, recordSize);
        if (got.error || got.bytes.size() < chunk) {
            result.error = got.error ? got.error : shortRead();
            return result;
        }
        if (!md5.update(got.bytes.data(), chunk))
            return digestFailed(result);
    }
    if (remainder != 0) {
        // The tail comes from the file's last whole record.
        RecordFile::Read got = file.view(size - (record - 1), recordSize);
        if (got.error || got.bytes.size() < recordSize) {
            result.error = got.error ? got.error : shortRead();
            return result;
        }
        if (!md5.update(got.bytes.data() + (record - remainder), static_cast<std::size_t>(remainder)))
            return digestFailed(result);
    }
    if (!md5.final(result.bytes))
        return digestFailed(result);
    return result;
}

std::string RecordDigest::hex(const EvpMdCtx::Digest& digest)
{
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (std::uint8_t byte : digest) {
        hex.push_back(hexDigits[byte >> 4]);
        hex.push_back(hexDigits[byte & 0x0F]);
    }
    return hex;
}

} // namespace tvrn2

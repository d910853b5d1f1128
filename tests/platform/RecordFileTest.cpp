#include "platform/RecordFile.h"

#include "tests/support/FaultySysCalls.h"
#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tvrn2 {
namespace {

std::string randomBytes(std::size_t size)
{
    std::mt19937 generator(1234);
    std::string bytes(size, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(generator());
    return bytes;
}

class RecordFileTest : public ::testing::Test {
protected:
    test::TempDir temp;
};

TEST_F(RecordFileTest, RecordsAtPositionsMatchThePlainBytes)
{
    constexpr std::size_t buffer = 8192;
    const std::string content = randomBytes(3 * buffer + 232);
    const auto size = static_cast<std::int64_t>(content.size());
    auto path = temp.write("file.bin", content).string();

    RecordFile file(buffer);
    ASSERT_FALSE(file.open(path));
    EXPECT_EQ(file.size().bytes, size);
    // Forwards, across the buffer's edge, backwards, the tail, past the end.
    const std::int64_t positions[]
        = { 1, 1025, 7169, 8000, 8193, 2, size - 1023, size - 10, 4097, size, size + 1, size + 5000 };
    for (std::int64_t position : positions) {
        auto offset = static_cast<std::size_t>(std::min(position - 1, size));
        std::string expected = content.substr(offset, 1024);
        auto viewed = file.view(position, 1024);
        EXPECT_FALSE(viewed.error) << position;
        EXPECT_EQ(std::string(viewed.bytes.begin(), viewed.bytes.end()), expected) << position;

        std::array<char, 1024> record {};
        auto copied = file.read(position, record);
        EXPECT_FALSE(copied.error) << position;
        EXPECT_EQ(std::string(record.data(), copied.bytes.size()), expected) << position;
    }
    EXPECT_EQ(file.view(0, 1024).error.code, 90);
    EXPECT_EQ(file.view(1, buffer).error.code, 90);
}

TEST_F(RecordFileTest, SequentialRecordsCostOneSystemCallPerBuffer)
{
    const std::string content = randomBytes(3 * RecordFile::defaultBufferSize + 232);
    auto path = temp.write("big.bin", content).string();
    test::FaultySysCalls counting(test::FaultySysCalls::Fault::None);
    RecordFile file;
    ASSERT_FALSE(file.open(path));
    std::string seen;
    std::int64_t position = 1;
    for (; position + 1023 <= static_cast<std::int64_t>(content.size()); position += 1024)
        seen.append(file.view(position, 1024).bytes.data(), 1024);
    auto tail = file.view(static_cast<std::int64_t>(content.size()) - 1023, 1024);
    seen.append(tail.bytes.data() + 1024 - 232, 232);
    EXPECT_TRUE(seen == content);
    EXPECT_LE(counting.reads(), 5) << "one read per 1 MiB plus the end of the file";
}

TEST_F(RecordFileTest, FailuresCarryTheirCodes)
{
    EXPECT_EQ(RecordFile().open((temp / "missing.exe").string()).code, 2);
    EXPECT_EQ(RecordFile().open((temp / "gone/missing.exe").string()).code, 3);
    // Only a regular file has records; a named pipe with no writer is refused
    // at once instead of waiting for one.
    ASSERT_EQ(::mkfifo((temp / "pipe").c_str(), 0644), 0);
    FileError pipe = RecordFile().open((temp / "pipe").string());
    EXPECT_EQ(pipe.code, 90);
    EXPECT_EQ(pipe.systemText, "not a regular file");
    EXPECT_EQ(RecordFile().open(temp.path().string()).code, 90) << "a folder";

    auto path = temp.write("file.bin", randomBytes(5000)).string();
    RecordFile file;
    ASSERT_FALSE(file.open(path));
    test::FaultySysCalls broken(test::FaultySysCalls::Fault::ReadFails);
    auto got = file.view(1, 1024);
    EXPECT_EQ(got.error.code, 90);
    EXPECT_EQ(got.error.text, "File System Error");
    EXPECT_EQ(got.error.systemText, "Input/output error");
    EXPECT_TRUE(got.bytes.empty());
}

TEST_F(RecordFileTest, DenyWriteKeepsLockingWritersOut)
{
    auto path = temp.write("file.bin", "data").string();
    auto tryWriteLock = [&](int fd) {
        struct flock lock { };
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
    };
    int writer = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    {
        RecordFile reader;
        ASSERT_FALSE(reader.open(path));
        EXPECT_FALSE(tryWriteLock(writer));
        RecordFile second;
        EXPECT_FALSE(second.open(path)) << "readers share the file";
    }
    ASSERT_TRUE(tryWriteLock(writer)) << "closing releases the lock";
    FileError denied = RecordFile().open(path);
    EXPECT_EQ(denied.code, 5);
    EXPECT_EQ(denied.text, "Access Denied");
    EXPECT_FALSE(RecordFile().open(path, ShareMode::DenyNone));
    ::close(writer);
}

} // namespace
} // namespace tvrn2

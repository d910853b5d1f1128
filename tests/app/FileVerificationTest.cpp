#include "app/FileVerification.h"

#include "framework/RegistryReader.h"
#include "platform/Halt.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/SysCalls.h"
#include "platform/TextCase.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tvrn2 {
namespace {

// Records what the verification does to the window, one line per call.
class RecordingView final : public VerificationView {
public:
    void showFilePath(std::string_view path) override { calls.push_back("path " + std::string(path)); }
    void showValidString(std::string_view text) override
    {
        status = text;
        calls.push_back("status " + std::string(text));
    }
    void showChecksum(std::string_view checksum) override
    {
        calls.push_back("checksum " + std::string(checksum));
    }
    void setWaitCursor(bool wait) override { calls.push_back(wait ? "wait" : "normal"); }
    void stopTimer() override
    {
        timerStopped = true;
        calls.push_back("timer off");
    }

    std::vector<std::string> calls;
    std::string status = FileVerification::inProgressText;
    bool timerStopped = false;
};

// Real system calls, with the n-th open of a downloaded file failing or reads
// failing after a number of them succeeded; `beforeOpen` runs ahead of every
// open of a downloaded file. Other files (the registry store) are left alone.
class ScriptedSysCalls final : public SysCalls {
public:
    ScriptedSysCalls() = default;
    ScriptedSysCalls(const ScriptedSysCalls&) = delete;
    ScriptedSysCalls& operator=(const ScriptedSysCalls&) = delete;

    int open(const char* path, int flags, mode_t mode) override
    {
        if (std::string_view(path).find("/downloads/") == std::string_view::npos)
            return SysCalls::open(path, flags, mode);
        ++opens;
        if (beforeOpen)
            beforeOpen(opens);
        if (opens == failOpen || failEveryOpen) {
            errno = openErrno;
            return -1;
        }
        return SysCalls::open(path, flags, mode);
    }
    ssize_t pread(int fd, void* data, std::size_t size, off_t offset) override
    {
        if (readsBeforeFailure >= 0 && reads++ >= readsBeforeFailure) {
            errno = EIO;
            return -1;
        }
        return SysCalls::pread(fd, data, size, offset);
    }

    int opens { 0 };
    int failOpen { -1 };
    bool failEveryOpen { false };
    int openErrno { EACCES };
    int reads { 0 };
    int readsBeforeFailure { -1 };
    std::function<void(int)> beforeOpen;

private:
    ScopedSysCalls m_installed { *this };
};

std::string md5Upper(std::string_view data)
{
    unsigned char digest[16];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr);
    static const char* digits = "0123456789ABCDEF";
    std::string hex;
    for (unsigned n = 0; n < length; ++n) {
        hex.push_back(digits[digest[n] >> 4]);
        hex.push_back(digits[digest[n] & 15]);
    }
    return hex;
}

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

void makeSparseFile(const std::filesystem::path& path, std::int64_t size)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

class FileVerificationTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(downloads);
        setDownloadDirectory(downloads.string());
        registry.QUIETMODE = 1;
        registry.Init();
    }
    void TearDown() override { registry.Kill(); }

    void setDownloadDirectory(const std::string& directory)
    {
        HKEY key = 0;
        ASSERT_EQ(
            regCreateKeyEx(HKEY_CURRENT_USER, FileVerification::downloadKey, 0, KEY_WRITE, &key, nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(regSetValueEx(key, FileVerification::downloadValue, 1,
                      reinterpret_cast<const std::uint8_t*>(directory.c_str()),
                      static_cast<std::uint32_t>(directory.size() + 1)),
            ERROR_SUCCESS);
        regCloseKey(key);
    }

    // A target for a file with these contents, written to the downloads folder.
    VerificationTarget placeFile(const std::string& contents, const std::string& name = "setup.exe")
    {
        dir.write("downloads/" + name, contents);
        return { name, static_cast<std::int64_t>(contents.size()), md5Upper(contents) };
    }

    test::TempDir dir;
    test::ScopedEnv config { "XDG_CONFIG_HOME", (dir / "config").string() };
    std::filesystem::path downloads = dir / "downloads";
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes installedBoxes { boxes };
    RegistryReader registry;
    CString<256> filePath;
    RecordingView view;
};

TEST(FileVerificationConstantsTest, InstallerTargetIsTheProductsFile)
{
    auto installer = FileVerification::installer();
    EXPECT_EQ(installer.fileName, "WindowsXP-KB835935-SP2-ENU.exe");
    EXPECT_EQ(installer.size, 278'927'592);
    EXPECT_EQ(installer.size, 0x10A018E8);
    EXPECT_EQ(installer.digest, "59A98F181FE383907E520A391D75B5A7");
    // 272,390 whole records and a tail of 232 bytes.
    EXPECT_EQ(installer.size / 1024, 272'390);
    EXPECT_EQ(installer.size % 1024, 232);
}

TEST(FileVerificationHexTest, HighNibbleComesFirst)
{
    EvpMdCtx::Digest digest { 0x0F, 0xF0, 0x00, 0xAB, 0x12, 0x9C, 0xFF, 0x01, 0x10, 0x7E, 0xE7, 0x55, 0xA0,
        0x0A, 0x3C, 0xC3 };
    EXPECT_EQ(RecordDigest::hex(digest), "0ff000ab129cff01107ee755a00a3cc3");
}

TEST_F(FileVerificationTest, InstallerSizedFileThatFailsIsDeleted)
{
    auto path = downloads / FileVerification::installerFileName;
    makeSparseFile(path, FileVerification::installerSize);
    FileVerification verification(registry, filePath, view);

    EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::NotValid);

    // Independent digest of the same bytes: the whole file, in order, once.
    std::string zeros(1 << 20, '\0');
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_md5(), nullptr);
    for (std::int64_t left = FileVerification::installerSize; left > 0;) {
        auto part = static_cast<std::size_t>(std::min<std::int64_t>(left, zeros.size()));
        EVP_DigestUpdate(context, zeros.data(), part);
        left -= static_cast<std::int64_t>(part);
    }
    unsigned char digest[16];
    EVP_DigestFinal_ex(context, digest, nullptr);
    EVP_MD_CTX_free(context);
    EvpMdCtx::Digest expected;
    std::copy(std::begin(digest), std::end(digest), expected.begin());

    EXPECT_EQ(filePath.clipped(), path.string());
    EXPECT_EQ(view.calls,
        (std::vector<std::string> { "path " + path.string(), "wait", "status Please wait... Checking MD5",
            "checksum " + RecordDigest::hex(expected), "normal",
            "status XP Service Pack 2 file is NOT valid!", "timer off" }));
    EXPECT_EQ(verification.FILECHECKSUM().raw(), RecordDigest::hex(expected));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(boxes.shown().empty());

    // The deleted file leaves nothing for later ticks to find.
    view.calls.clear();
    EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Waiting);
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(FileVerificationTest, FileOneByteShortIsIgnoredOnEveryTick)
{
    auto path = downloads / FileVerification::installerFileName;
    makeSparseFile(path, FileVerification::installerSize - 1);
    FileVerification verification(registry, filePath, view);
    for (int tick = 0; tick < 3; ++tick)
        EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Waiting);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(view.status, FileVerification::inProgressText);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(FileVerificationTest, InjectedTargetsAcrossRecordAndBufferBoundaries)
{
    const std::size_t sizes[] = { 0, 3, 1023, 1024, 1025, 2 * 1024 + 232, (3 << 20) + 5 };
    for (std::size_t size : sizes) {
        SCOPED_TRACE(size);
        auto contents = randomBytes(size, static_cast<unsigned>(size));
        auto target = placeFile(contents);
        RecordingView fresh;
        FileVerification verification(registry, filePath, fresh, target);
        EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Valid);
        EXPECT_EQ(fresh.status, FileVerification::validText);
        EXPECT_TRUE(fresh.timerStopped);
        EXPECT_TRUE(std::filesystem::exists(downloads / target.fileName));

        if (size == 0)
            continue;
        // The same size with one byte changed fails and is deleted.
        contents[size / 2] = static_cast<char>(contents[size / 2] ^ 0x01);
        dir.write("downloads/" + target.fileName, contents);
        EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::NotValid);
        EXPECT_EQ(fresh.status, FileVerification::notValidText);
        EXPECT_FALSE(std::filesystem::exists(downloads / target.fileName));
    }
}

TEST_F(FileVerificationTest, KnownDigestsAndTheirHexForm)
{
    // Digests published with the MD5 definition.
    const std::pair<std::string, std::string> cases[] = {
        { "abc", "900150983cd24fb0d6963f7d28e17f72" },
        { "message digest", "f96b697d7cb7938d525a2f31aaf161d0" },
        { "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
            "57edf4a22be3c955ac49da2e2107b67a" },
    };
    for (const auto& [text, digest] : cases) {
        auto target = placeFile(text);
        target.digest = toUpperAscii(digest);
        FileVerification verification(registry, filePath, view, target);
        EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Valid) << text;
        EXPECT_EQ(verification.FILECHECKSUM().raw(), digest);
    }
}

TEST_F(FileVerificationTest, DirectoryEndingInSeparatorStillFindsTheFile)
{
    setDownloadDirectory(downloads.string() + "/");
    auto target = placeFile("payload");
    FileVerification verification(registry, filePath, view, target);
    EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Valid);
    EXPECT_EQ(filePath.clipped(), downloads.string() + "//setup.exe");
}

TEST_F(FileVerificationTest, MissingDownloadDirectoryLooksAtTheRoot)
{
    HKEY key = 0;
    ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, FileVerification::downloadKey, 0, KEY_WRITE, &key, nullptr),
        ERROR_SUCCESS);
    const char empty[] = "";
    ASSERT_EQ(regSetValueEx(
                  key, FileVerification::downloadValue, 1, reinterpret_cast<const std::uint8_t*>(empty), 1),
        ERROR_SUCCESS);
    regCloseKey(key);
    FileVerification verification(registry, filePath, view, { "tvrn2-no-such-file.exe", 3, "X" });
    EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Waiting);
    EXPECT_EQ(filePath.clipped(), "/tvrn2-no-such-file.exe");
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(FileVerificationTest, ReadFailureGivesNoVerdictAndKeepsTheFile)
{
    auto target = placeFile(randomBytes((2 << 20) + 100, 7));
    FileVerification verification(registry, filePath, view, target);
    ScriptedSysCalls calls;
    calls.readsBeforeFailure = 1; // the first buffer fills, the next read breaks
    boxes.answer(Button::Ignore);

    EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::NoVerdict);

    EXPECT_TRUE(std::filesystem::exists(downloads / target.fileName));
    EXPECT_FALSE(view.timerStopped);
    EXPECT_EQ(view.status, FileVerification::inProgressText);
    EXPECT_EQ(view.calls.back(), "status *** Download in Progress ***");
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "normal"), 1);
    ASSERT_EQ(boxes.shown().size(), 1U);
    const auto& box = boxes.shown()[0];
    EXPECT_EQ(box.caption, "Stop");
    EXPECT_EQ(box.icon, BoxIcon::Stop);
    EXPECT_EQ(box.buttons, Button::Abort | Button::Ignore);
    EXPECT_EQ(box.defaultButton, Button::Abort);
    EXPECT_EQ(box.text, "Cannot read selected File. |90: File System Error");

    // Abort ends the program on the spot, still without touching the file.
    HaltInterceptor intercept;
    calls.reads = 0;
    boxes.answer(Button::Abort);
    EXPECT_THROW(verification.OnTimer(), ProgramHalted);
    EXPECT_TRUE(std::filesystem::exists(downloads / target.fileName));
}

TEST_F(FileVerificationTest, SecondOpenFailureThenIgnoreGivesNoVerdict)
{
    auto target = placeFile("contents that are fine");
    FileVerification verification(registry, filePath, view, target);
    ScriptedSysCalls calls;
    calls.failOpen = 2;
    calls.openErrno = EMFILE;
    boxes.answer(Button::Ignore);

    EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::NoVerdict);

    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, "Cannot open selected File. |4: Too Many Open Files");
    EXPECT_TRUE(std::filesystem::exists(downloads / target.fileName));
    EXPECT_FALSE(view.timerStopped);
    EXPECT_EQ(view.status, FileVerification::inProgressText);

    // The watch goes on and the next tick judges the file.
    EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Valid);
}

TEST_F(FileVerificationTest, FirstOpenFailures)
{
    auto target = placeFile("contents");
    struct Case {
        int error;
        std::size_t boxes;
    } cases[] = { { EACCES, 0 }, { EMFILE, 1 }, { EIO, 1 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        boxes.clear();
        ScriptedSysCalls calls;
        calls.failEveryOpen = true;
        calls.openErrno = c.error;
        FileVerification verification(registry, filePath, view, target);
        for (int tick = 0; tick < 2; ++tick) {
            boxes.answer(Button::Ignore);
            EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Waiting);
        }
        EXPECT_EQ(boxes.shown().size(), 2 * c.boxes);
        if (c.boxes) {
            EXPECT_EQ(boxes.shown()[0].text.rfind("Cannot open selected file: ", 0), 0U);
        }
    }
    EXPECT_EQ(boxes.shown()[0].text, "Cannot open selected file: File System Error");
    EXPECT_TRUE(std::filesystem::exists(downloads / target.fileName));

    ScriptedSysCalls calls;
    calls.failEveryOpen = true;
    calls.openErrno = EMFILE;
    HaltInterceptor intercept;
    FileVerification verification(registry, filePath, view, target);
    EXPECT_THROW(verification.OnTimer(), ProgramHalted); // Abort is the default answer
}

TEST_F(FileVerificationTest, SizeChangedBetweenOpensWarnsAndWaitsForTheWriter)
{
    auto target = placeFile("twelve bytes");
    FileVerification verification(registry, filePath, view, target);
    ScriptedSysCalls calls;
    calls.beforeOpen = [&](int open) {
        if (open == 2)
            dir.write("downloads/setup.exe", "twelve bytes and more");
    };
    boxes.answer(Button::Ignore);
    EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::NoVerdict);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, "XP SP2 File size is not correct.");
    // No verdict on bytes still being written: the file stays, the watch goes on.
    EXPECT_TRUE(std::filesystem::exists(downloads / "setup.exe"));
    EXPECT_FALSE(view.timerStopped);
    EXPECT_EQ(view.status, FileVerification::inProgressText);
    EXPECT_EQ(view.calls.back(), "status " + std::string(FileVerification::inProgressText));

    // Once the writer is done and the size holds, the file is judged.
    calls.beforeOpen = nullptr;
    dir.write("downloads/setup.exe", "twelve bytes");
    EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Valid);
}

TEST_F(FileVerificationTest, OnlyARegularFileIsTheInstallerAndNothingElseHoldsTheWatchUp)
{
    // A target of size 0: a named pipe or a folder reports that size too, so
    // only the kind of file tells them apart. Opening a pipe with no writer
    // would wait for one forever.
    const VerificationTarget target { "setup.exe", 0, md5Upper("") };
    const std::filesystem::path path = downloads / target.fileName;
    struct Case {
        const char* what;
        std::function<void()> make;
    };
    const std::vector<Case> cases {
        { "a named pipe", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); } },
        { "a link to a named pipe",
            [&] {
                ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
                std::filesystem::create_symlink(dir / "pipe", path);
            } },
        { "a folder", [&] { std::filesystem::create_directory(path); } },
        { "a link to nothing", [&] { std::filesystem::create_symlink(dir / "nowhere", path); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.make();
        RecordingView fresh;
        FileVerification verification(registry, filePath, fresh, target);
        EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Waiting);
        EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Waiting);
        EXPECT_TRUE(fresh.calls.empty());
        EXPECT_TRUE(boxes.shown().empty());

        // Once the real file takes the name, the next tick judges it.
        std::filesystem::remove(path);
        std::filesystem::remove(dir / "pipe");
        dir.write("downloads/" + target.fileName, "");
        EXPECT_EQ(verification.OnTimer(), FileVerification::Outcome::Valid);
        std::filesystem::remove(path);
    }
}

} // namespace
} // namespace tvrn2

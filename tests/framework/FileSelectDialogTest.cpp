#include "framework/FileSelectDialog.h"

#include "platform/Dialogs.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

namespace fs = std::filesystem;

// Answers like the scripted dialogs and notes the working directory the user would see.
class WatchingDialogs final : public Dialogs {
public:
    std::string openFile(const OpenFileRequest& request) override
    {
        requests.push_back(request);
        seenIn = fs::current_path();
        enterChosenFolder(answer, request.flags);
        return answer;
    }
    std::optional<Colour> chooseColour(const ColourRequest&) override { return std::nullopt; }

    std::string answer;
    fs::path seenIn;
    std::vector<OpenFileRequest> requests;
};

class FileSelectDialogTest : public ::testing::Test {
protected:
    FileSelectDialogTest()
        : m_start(fs::current_path())
    {
        fs::create_directories(temp / "downloads");
        fs::create_directories(temp / "start");
        fs::current_path(temp / "start");
    }
    ~FileSelectDialogTest() override { fs::current_path(m_start); }

    test::TempDir temp;
    WatchingDialogs dialogs;
    ScopedDialogs installedDialogs { dialogs };

private:
    fs::path m_start;
};

TEST_F(FileSelectDialogTest, AsksInTheDefaultFolderAndRestoresTheWorkingDirectory)
{
    FileSelectDialog select;
    select.Init("Select A File");
    select.FLAGS |= 16;
    select.SetMask("All Files", "*.*");
    select.DEFAULTDIRECTORY = (temp.path() / "downloads").string() + "\\";
    select.DEFAULTFILE = "WindowsXP-KB835935-SP2-ENU.exe";
    select.WINDOWTITLE = "XP SP2 File Selection";
    dialogs.answer = (temp.path() / "downloads" / "WindowsXP-KB835935-SP2-ENU.exe").string();

    EXPECT_EQ(select.Ask(RestoreDirectory::Yes), dialogs.answer);
    EXPECT_EQ(dialogs.seenIn, temp.path() / "downloads");
    EXPECT_EQ(fs::current_path(), temp.path() / "start");
    EXPECT_EQ(select.SAVEPATH, (temp.path() / "start").string());
    ASSERT_EQ(dialogs.requests.size(), 1u);
    const auto& request = dialogs.requests.front();
    EXPECT_EQ(request.title, "XP SP2 File Selection");
    EXPECT_EQ(request.initialName, "WindowsXP-KB835935-SP2-ENU.exe");
    EXPECT_EQ(request.filters, "All Files|*.*");
    EXPECT_EQ(request.flags, 16);

    // Cancelling answers empty text and still restores.
    dialogs.answer.clear();
    EXPECT_EQ(select.Ask(RestoreDirectory::Yes), "");
    EXPECT_EQ(fs::current_path(), temp.path() / "start");
}

TEST_F(FileSelectDialogTest, WithoutRestoreTheChosenFoldersStaysAndMasksBuildPairs)
{
    FileSelectDialog select;
    select.Init("Pick", 0);
    EXPECT_EQ(select.WINDOWTITLE, "Pick");
    select.AddMask("HTML Files", "*.htm;*.html");
    select.AddMask("All Files", "*.*");
    EXPECT_EQ(select.MASKSTRING, "HTML Files|*.htm;*.html|All Files|*.*");
    dialogs.answer = (temp.path() / "downloads" / "page.htm").string();
    EXPECT_EQ(select.Ask(), dialogs.answer);
    EXPECT_EQ(fs::current_path(), temp.path() / "downloads");

    // An empty filter list asks for every file; a missing default folder is no failure.
    select.MASKSTRING.clear();
    select.DEFAULTDIRECTORY = (temp.path() / "missing").string();
    select.Ask(RestoreDirectory::Yes);
    EXPECT_EQ(dialogs.requests.back().filters, "All Files|*.*");
    EXPECT_EQ(fs::current_path(), temp.path() / "downloads");
}

} // namespace
} // namespace tvrn2

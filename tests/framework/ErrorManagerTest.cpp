#include "framework/ErrorManager.h"

#include "framework/DefaultErrors.h"
#include "platform/Files.h"
#include "platform/Halt.h"
#include "platform/HistoryListView.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace tvrn2 {
namespace {

// Packs entries the way the built-in table is packed.
std::vector<std::uint8_t> packTable(
    const std::vector<std::tuple<int, int, std::string, std::string>>& entries)
{
    std::vector<std::uint8_t> block { static_cast<std::uint8_t>(entries.size()), 0 };
    for (const auto& [id, level, title, text] : entries) {
        block.push_back(id & 0xFF);
        block.push_back(id >> 8);
        block.push_back(static_cast<std::uint8_t>(level));
        for (const auto* part : { &title, &text }) {
            block.push_back(static_cast<std::uint8_t>(part->size()));
            block.insert(block.end(), part->begin(), part->end());
        }
    }
    return block;
}

class ErrorManagerTest : public testing::Test {
protected:
    void SetUp() override { errors.Init(); }
    void TearDown() override { errors.Kill(); }

    void addEntries(const std::vector<std::tuple<int, int, std::string, std::string>>& entries)
    {
        auto block = packTable(entries);
        errors.AddTable(block.data(), block.size());
    }

    void setError(int code, std::string text, std::string fileCode = {}, std::string fileText = {})
    {
        errors.setErrorSource([=] { return ErrorState { code, text, fileCode, fileText }; });
    }

    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes installedBoxes { boxes };
    RecordingHistoryListView historyView;
    ScopedHistoryListView installedHistoryView { historyView };
    ErrorManager errors;
};

TEST_F(ErrorManagerTest, LoadsTheBuiltInTableInOrder)
{
    auto table = defaultErrors();
    ASSERT_GE(table.size(), 2U);
    EXPECT_EQ(table[0] | (table[1] << 8), 43);

    const auto& entries = *errors.errors();
    ASSERT_EQ(entries.size(), 43U);
    EXPECT_EQ(entries.front().ID, 27);
    EXPECT_EQ(entries.front().TITLE, "Invalid Key");
    EXPECT_EQ(entries.front().MESSAGE, "%File key file is invalid. Key must be rebuilt.");
    EXPECT_EQ(entries.front().FATALITY, 5);
    EXPECT_EQ(entries[24].ID, 23);
    EXPECT_EQ(entries[24].FATALITY, 3);
    EXPECT_EQ(entries[38].ID, 39);
    EXPECT_EQ(entries[38].FATALITY, 2);
    EXPECT_EQ(entries.back().ID, 44);
    EXPECT_EQ(entries.back().MESSAGE, "%Message ");
    for (const auto& entry : entries)
        EXPECT_TRUE(entry.CATEGORY.empty());
}

TEST_F(ErrorManagerTest, TruncatedTableLoadsOnlyCompleteEntries)
{
    auto block = packTable({ { 100, 5, "One", "first" }, { 101, 5, "Two", "second" } });
    const std::size_t firstEnd = 2 + 3 + 4 + 6;
    for (std::size_t size = 0; size <= block.size(); ++size) {
        ErrorManager fresh;
        // Copy so that reading one byte too far is caught by the sanitizers.
        std::vector<std::uint8_t> prefix(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(size));
        fresh.AddTable(prefix.data(), prefix.size());
        std::size_t expected = size == block.size() ? 2 : size >= firstEnd ? 1 : 0;
        EXPECT_EQ(fresh.errors()->size(), expected) << "block of " << size << " bytes";
    }
}

TEST_F(ErrorManagerTest, QuestionLevelsAnswerZeroForYesAndFourOtherwise)
{
    addEntries({ { 200, 4, "Cancel?", "Cancel level" } });
    struct Case {
        int number;
        int pressed;
        int result;
    } cases[]
        = { { 8, Button::Yes, 0 }, { 8, Button::No, 4 }, { 200, Button::Yes, 0 }, { 200, Button::No, 4 } };
    for (const auto& c : cases) {
        boxes.clear();
        boxes.answer(c.pressed);
        EXPECT_EQ(errors.Report(c.number), c.result) << c.number << " " << c.pressed;
        ASSERT_EQ(boxes.shown().size(), 1U);
        const auto& box = boxes.shown()[0];
        EXPECT_EQ(box.icon, BoxIcon::Question);
        EXPECT_EQ(box.buttons, Button::Yes | Button::No);
        EXPECT_EQ(box.defaultButton, Button::Yes);
    }
    EXPECT_EQ(boxes.shown()[0].caption, "Cancel?");
}

TEST_F(ErrorManagerTest, NotifyShowsOkBoxAndReturnsFive)
{
    errors.MESSAGETEXT = "Name";
    EXPECT_EQ(errors.Report(13), 5);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].caption, "Duplicate Key Error");
    EXPECT_EQ(boxes.shown()[0].text, "Adding this record creates a duplicate entry for the key: Name");
    EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Exclamation);
    EXPECT_EQ(boxes.shown()[0].buttons, Button::Ok);
}

TEST_F(ErrorManagerTest, NoneLevelShowsNothing)
{
    addEntries({ { 300, 0, "Quiet", "nothing" } });
    EXPECT_EQ(errors.Report(300), 0);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ErrorManagerTest, FatalShowsBothBoxesRestoresAndHalts)
{
    errors.NoteFile("/data/customers.dat   ");
    setError(2, "File Not Found");
    bool restored = false;
    EmergencyRestorer restorer([&] { restored = true; });
    HaltInterceptor intercept;

    EXPECT_THROW(errors.Report(23), ProgramHalted);

    EXPECT_TRUE(restored);
    ASSERT_EQ(boxes.shown().size(), 2U);
    const auto& fatal = boxes.shown()[0];
    EXPECT_EQ(fatal.text,
        "File /data/customers.dat could not be opened.  Error: File Not Found (2)."
        "  Press OK to end this application");
    EXPECT_EQ(fatal.caption, "File Access Error");
    EXPECT_EQ(fatal.icon, BoxIcon::Exclamation);
    EXPECT_EQ(fatal.buttons, Button::Ok);
    const auto& halt = boxes.shown()[1];
    EXPECT_EQ(halt.caption, "Halt");
    EXPECT_EQ(halt.text, "File Access Error");
    EXPECT_EQ(halt.icon, BoxIcon::Stop);
    EXPECT_EQ(halt.buttons, Button::Ok);
}

TEST_F(ErrorManagerTest, ProgramAndUnknownLevelsAreHandledAsFatal)
{
    addEntries({ { 400, 9, "Odd level", "odd" } });
    HaltInterceptor intercept;
    for (int number : { 39, 400 }) {
        boxes.clear();
        EXPECT_THROW(errors.Report(number), ProgramHalted) << number;
        ASSERT_EQ(boxes.shown().size(), 2U);
        EXPECT_EQ(boxes.shown()[1].caption, "Halt");
    }
}

TEST_F(ErrorManagerTest, ErrorTextUsesTheFileDriverForCodeNinety)
{
    addEntries({ { 500, 5, "T", "%ErrorText" } });
    setError(90, "File System Error", "28", "No space left on device");
    errors.Report(500);
    setError(5, "Access Denied", "28", "No space left on device");
    errors.Report(500);
    ASSERT_EQ(boxes.shown().size(), 2U);
    EXPECT_EQ(boxes.shown()[0].text, "No space left on device (28)");
    EXPECT_EQ(boxes.shown()[1].text, "Access Denied (5)");
}

TEST_F(ErrorManagerTest, WithoutASourceTheLastFileFailureFillsTheError)
{
    addEntries({ { 501, 5, "T", "%ErrorCode|%Error|%ErrorText|%FileErrorCode|%FileError" } });
    test::TempDir dir;
    // A real failure of the file layer: a file that is not there, then a
    // folder where a file should be written.
    EXPECT_TRUE(fileSize((dir / "missing.dat").string()).error);
    errors.Report(501);
    ASSERT_TRUE(appendToFile((dir / "no" / "such" / "folder.dat").string(), "x"));
    errors.Report(501);
    ASSERT_EQ(boxes.shown().size(), 2U);
    EXPECT_EQ(boxes.shown()[0].text, "2|File Not Found|File Not Found (2)|2|No such file or directory");
    EXPECT_EQ(boxes.shown()[1].text, "3|Path Not Found|Path Not Found (3)|2|No such file or directory");
}

TEST_F(ErrorManagerTest, SubstitutesAllPlaceholdersIgnoringCase)
{
    addEntries({ { 600, 5, "First", "older" } });
    addEntries({ { 600, 5, "T",
        "%errorcode|%ERRORTEXT|%Error|%FileErrorCode|%fileerror|%FILE|%Message|%field|%Procedure|%Category|"
        "%Previous" } });
    errors.AssignCategory(600, "Cat");
    setError(3, "Path Not Found", "13", "Permission denied");
    errors.NoteFile("a.dat");
    errors.MESSAGETEXT = "msg";
    errors.FIELDNAME = "fld";
    errors.PushProcedure("Main");
    errors.Report(600);
    errors.PopProcedure();
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text,
        "3|Path Not Found (3)|Path Not Found|13|Permission denied|a.dat|msg|fld|Main|Cat|older");
}

TEST_F(ErrorManagerTest, SubstitutionNeverReexpandsItsOwnValueAndStopsAtTheLimit)
{
    addEntries({ { 700, 5, "T", "[%File] [%File]" } });
    errors.NoteFile("%file");
    errors.Report(700);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, "[%file] [%file]");

    std::string many;
    for (int n = 0; n < 30; ++n)
        many += "%Message";
    addEntries({ { 701, 5, "T", many } });
    errors.MESSAGETEXT = std::string(300, 'm');
    errors.Report(701);
    ASSERT_EQ(boxes.shown().size(), 2U);
    EXPECT_EQ(boxes.shown()[1].text, std::string(ErrorManager::substitutionLimit, 'm'));
}

TEST_F(ErrorManagerTest, LaterEntryOverridesAndPreviousQuotesTheOlderText)
{
    addEntries({ { 8, 1, "Really?", "%Previous Think twice." } });
    boxes.answer(Button::No);
    EXPECT_EQ(errors.Report(8), 4);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].caption, "Really?");
    EXPECT_EQ(boxes.shown()[0].text, "Are you sure you want to cancel? Think twice.");
}

TEST_F(ErrorManagerTest, AskShowsGivenButtonsAndSilentAnswersTheDefault)
{
    errors.HISTORYTHRESHOLD = -1;
    boxes.answer(Button::Retry);
    EXPECT_EQ(errors.Ask(33, Button::Retry | Button::Cancel, Button::Cancel), Button::Retry);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].caption, "Record Delete Error");
    EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Question);
    EXPECT_EQ(boxes.shown()[0].buttons, Button::Retry | Button::Cancel);
    EXPECT_EQ(boxes.shown()[0].defaultButton, Button::Cancel);
    EXPECT_TRUE(errors.history()->empty());

    errors.SILENT = 1;
    EXPECT_EQ(errors.Ask(33, Button::Retry | Button::Cancel, Button::Cancel), Button::Cancel);
    EXPECT_EQ(errors.Report(8), 0); // question answered with its default Yes
    EXPECT_EQ(errors.Report(13), 5);
    EXPECT_EQ(boxes.shown().size(), 1U);
}

TEST_F(ErrorManagerTest, UnknownNumberStillTellsTheUser)
{
    EXPECT_EQ(errors.Report(999), 5);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_NE(boxes.shown()[0].text.find("999"), std::string::npos);
}

TEST_F(ErrorManagerTest, ProcedureNamesAreKeptPerThread)
{
    errors.PushProcedure("Main");
    errors.PushProcedure("Inner");
    std::string seenByOther = "unset";
    std::thread other([&] {
        seenByOther = errors.CurrentProcedure();
        errors.PushProcedure("Worker");
        errors.PopProcedure();
        errors.PopProcedure(); // nothing of this thread left: must not touch Main's names
    });
    other.join();
    EXPECT_EQ(seenByOther, "");
    EXPECT_EQ(errors.CurrentProcedure(), "Inner");
    errors.PopProcedure();
    EXPECT_EQ(errors.CurrentProcedure(), "Main");
    errors.PopProcedure();
    errors.PopProcedure();
    EXPECT_EQ(errors.CurrentProcedure(), "");
}

TEST_F(ErrorManagerTest, CategoriesFallBackToTheDefault)
{
    EXPECT_EQ(errors.CategoryOf(-1), ErrorManager::defaultCategoryName);
    errors.AssignCategory(-1, "Data");
    EXPECT_EQ(errors.CategoryOf(8), "Data");
    errors.AssignCategory(8, "Forms");
    EXPECT_EQ(errors.CategoryOf(8), "Forms");
    EXPECT_EQ(errors.CategoryOf(12345), "Data");
    addEntries({ { 8, 1, "Newer", "newer" } }); // the newest entry has no category of its own
    EXPECT_EQ(errors.CategoryOf(8), "Data");
}

TEST_F(ErrorManagerTest, HistoryKeepsTheNewestEntriesAndShowsInItsWindow)
{
    errors.HISTORYTHRESHOLD = 2;
    errors.HISTORYVIEWLEVEL = 5;
    errors.HISTORYRESETONVIEW = 0;
    errors.AssignCategory(22, "Lists");
    errors.MESSAGETEXT = "one";
    errors.Report(43);
    errors.MESSAGETEXT = "two";
    errors.Report(43);
    historyView.answer(Button::Ok);
    errors.Report(22);

    EXPECT_TRUE(boxes.shown().empty());
    ASSERT_EQ(historyView.shown().size(), 3U);
    const auto& window = historyView.shown()[2];
    EXPECT_EQ(window.caption, "No Records");
    EXPECT_EQ(window.icon, BoxIcon::Exclamation);
    EXPECT_EQ(window.buttons, Button::Ok);
    ASSERT_EQ(window.lines.size(), 2U);
    EXPECT_EQ(window.lines[0].message, "two ");
    EXPECT_EQ(window.lines[1].message, "There are no records available to process.");
    EXPECT_EQ(window.lines[1].category, "Lists");
    EXPECT_EQ(window.lines[0].category, ErrorManager::defaultCategoryName);

    // Other levels still get a box; reset-on-view empties the history.
    errors.HISTORYRESETONVIEW = 1;
    boxes.answer(Button::No);
    EXPECT_EQ(errors.Report(8), 4);
    EXPECT_EQ(boxes.shown().size(), 1U);
    errors.Report(22);
    EXPECT_TRUE(errors.history()->empty());
}

TEST_F(ErrorManagerTest, OpenHistoryOffersOkAndHelp)
{
    errors.HISTORYTHRESHOLD = -1;
    for (int n = 0; n < 5; ++n)
        errors.Report(22);
    historyView.answer(Button::Help);
    EXPECT_EQ(errors.OpenHistory(), Button::Help);
    const auto& window = historyView.shown().back();
    EXPECT_EQ(window.caption, "Errors History");
    EXPECT_EQ(window.icon, BoxIcon::Exclamation);
    EXPECT_EQ(window.buttons, Button::Ok | Button::Help);
    EXPECT_EQ(window.defaultButton, Button::Ok);
    EXPECT_EQ(window.lines.size(), 5U);
}

TEST_F(ErrorManagerTest, LogsShownMessagesAndIgnoresLogFailures)
{
    test::TempDir dir;
    StandardErrorLog log(dir / "errors.log");
    errors.AttachLog(log);
    errors.LOGERRORS = 1;
    errors.Report(22);
    errors.Report(6);
    auto text = test::TempDir::read(dir / "errors.log");
    EXPECT_NE(text.find("@"), std::string::npos);
    EXPECT_NE(text.find(" --> There are no records available to process.\n"), std::string::npos);
    EXPECT_NE(text.find(" --> This record was changed by another station.\n"), std::string::npos);
    EXPECT_EQ(log.USAGE, 0);

    StandardErrorLog unwritable(dir / "missing-folder" / "errors.log");
    errors.AttachLog(unwritable);
    errors.Report(22);
    EXPECT_EQ(boxes.shown().size(), 3U);
}

} // namespace
} // namespace tvrn2

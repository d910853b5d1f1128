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

// The framework's built-in messages, in table order: number, level (1
// question, 2 program, 3 fatal, 5 notify), title and text.
struct BuiltInEntry {
    int number;
    int level;
    const char* title;
    const char* text;
};
const BuiltInEntry builtInMessages[] = {
    { 27, 5, "Invalid Key", "%File key file is invalid. Key must be rebuilt." },
    { 26, 3, "Key was not built", "Error: (%ErrorText) repairing key for %File." },
    { 10, 3, "File Creation Error", "Error: (%ErrorText) creating %File." },
    { 24, 5, "Procedure not defined", "The Procedure %Message has not been defined." },
    { 17, 5, "Range Error", "The value of %Field must be lower than %Message." },
    { 18, 5, "Range Error", "The value of %Field must be higher than %Message." },
    { 16, 5, "Range Error", "The value of %Field must be in range %Message." },
    { 14, 5, "Field contents error", "The value of %Field must be found in the %Message file." },
    { 31, 5, "Referential Integrity Update Error",
        "This record is referenced from the file %File. Linking field(s) have been restricted from change "
        "and have been reset to original values." },
    { 30, 5, "Referential Integrity Delete Error",
        "This record is referenced from the file %File. This record cannot be deleted while these references "
        "exist." },
    { 4, 5, "Record Insert Error",
        "An error was experienced during the creation of a record.|File: %File|Error: %ErrorText." },
    { 6, 5, "Record Was Not Updated", "This record was changed by another station." },
    { 7, 5, "Record Was Not Updated",
        "This record was changed by another station. Those changes will now be displayed. Use the Ditto "
        "Button or Ctrl+' to recall your changes." },
    { 34, 1, "Record Update Error",
        "An error was experienced changing this record. Do you want to try to save again?" },
    { 33, 1, "Record Delete Error",
        "An error was experienced deleting this record. Do you want to try to delete it again?" },
    { 20, 5, "Invalid Request", "This form cannot be used to insert a record" },
    { 38, 5, "Invalid Request", "This form cannot be used to update a record" },
    { 12, 5, "Invalid Request", "This form cannot be used to delete a record" },
    { 8, 1, "Changes will be lost!", "Are you sure you want to cancel?" },
    { 13, 5, "Duplicate Key Error", "Adding this record creates a duplicate entry for the key: %Message" },
    { 32, 1, "Auto Increment Error",
        "Attempts to automatically number this record have failed.|File: %File|Error: %ErrorText.|Try "
        "Again?" },
    { 19, 5, "File Load Error", "%File File Load Error.  Error: %ErrorText." },
    { 36, 1, "Beginning of File Error",
        "The beginning of the file %File was encountered. Do you want to start again from the end of the "
        "file?" },
    { 37, 1, "End of File Error",
        "The end of the file %File was encountered. Do you want to start again from the beginning?" },
    { 23, 3, "File Access Error", "File %File could not be opened.  Error: %ErrorText." },
    { 25, 5, "Record was not updated",
        "An error (%ErrorText) was experienced when making changes to the %File file." },
    { 11, 5, "Record was not deleted",
        "An error (%ErrorText) was experienced when deleting a record from the %File file." },
    { 9, 1, "Confirm Delete", "Are you sure you want to delete the highlighted record?" },
    { 35, 1, "Save Record", "Do you want to save the changes to this record?" },
    { 21, 5, "Transaction cancelled", "Error: (%ErrorText) attempting to frame the transaction on %File." },
    { 1, 5, "Record Retrieval Error",
        "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to previous "
        "window." },
    { 40, 5, "View Open Error",
        "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits ignored." },
    { 3, 1, "Record Added", "This record has been added to the file. Do you want to add another record?" },
    { 28, 5, "Record not read",
        "A record held by another station was encountered reading from the %File file." },
    { 5, 5, "Add New Record?", "Record match not found, do you wish to add a new one?" },
    { 15, 5, "Value Error", "The value of %Field must be in the list : %Message." },
    { 22, 5, "No Records", "There are no records available to process." },
    { 2, 5, "Access Denied", "Could not get write access to %File so trying read-only." },
    { 39, 2, "File Usage Error", "Attempt to use file (%File) before it was opened" },
    { 41, 5, "Unsupported QBE Column",
        "The saved QBE column, %Field is not supported. It will be dropped from the query." },
    { 42, 5, "SMTP Error", "The following SMTP Error occurred: %Message " },
    { 43, 5, "NNTP Error", "%Message " },
    { 44, 5, "Winsock Error", "%Message " },
};

TEST_F(ErrorManagerTest, LoadsTheBuiltInTableInOrder)
{
    auto table = defaultErrors();
    ASSERT_GE(table.size(), 2U);
    EXPECT_EQ(table[0] | (table[1] << 8), 43);

    const auto& entries = *errors.errors();
    ASSERT_EQ(entries.size(), std::size(builtInMessages));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const BuiltInEntry& expected = builtInMessages[i];
        SCOPED_TRACE("entry " + std::to_string(i) + ", number " + std::to_string(expected.number));
        EXPECT_EQ(entries[i].ID, expected.number);
        EXPECT_EQ(entries[i].FATALITY, expected.level);
        EXPECT_EQ(entries[i].TITLE, expected.title);
        EXPECT_EQ(entries[i].MESSAGE, expected.text);
        EXPECT_TRUE(entries[i].CATEGORY.empty());
    }
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

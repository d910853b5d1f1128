#include "framework/DefaultErrors.h"

#include "platform/Event.h"

#include <array>
#include <string_view>

namespace tvrn2 {
namespace {

struct Source {
    std::uint16_t id;
    Level level;
    std::string_view title;
    std::string_view text;
};

constexpr auto Notify = Level::Notify;
constexpr auto Fatal = Level::Fatal;
constexpr auto Question = Level::Question;
constexpr auto Program = Level::Program;

// Table order matters: a later entry with the same number overrides an
// earlier one, and "%Previous" reaches back to the earlier one.
constexpr Source sources[] = {
    { 27, Notify, "Invalid Key", "%File key file is invalid. Key must be rebuilt." },
    { 26, Fatal, "Key was not built", "Error: (%ErrorText) repairing key for %File." },
    { 10, Fatal, "File Creation Error", "Error: (%ErrorText) creating %File." },
    { 24, Notify, "Procedure not defined", "The Procedure %Message has not been defined." },
    { 17, Notify, "Range Error", "The value of %Field must be lower than %Message." },
    { 18, Notify, "Range Error", "The value of %Field must be higher than %Message." },
    { 16, Notify, "Range Error", "The value of %Field must be in range %Message." },
    { 14, Notify, "Field contents error", "The value of %Field must be found in the %Message file." },
    { 31, Notify, "Referential Integrity Update Error",
        "This record is referenced from the file %File. Linking field(s) have been restricted from change "
        "and have been reset to original values." },
    { 30, Notify, "Referential Integrity Delete Error",
        "This record is referenced from the file %File. This record cannot be deleted while these references "
        "exist." },
    { 4, Notify, "Record Insert Error",
        "An error was experienced during the creation of a record.|File: %File|Error: %ErrorText." },
    { 6, Notify, "Record Was Not Updated", "This record was changed by another station." },
    { 7, Notify, "Record Was Not Updated",
        "This record was changed by another station. Those changes will now be displayed. Use the Ditto "
        "Button or Ctrl+' to recall your changes." },
    { 34, Question, "Record Update Error",
        "An error was experienced changing this record. Do you want to try to save again?" },
    { 33, Question, "Record Delete Error",
        "An error was experienced deleting this record. Do you want to try to delete it again?" },
    { 20, Notify, "Invalid Request", "This form cannot be used to insert a record" },
    { 38, Notify, "Invalid Request", "This form cannot be used to update a record" },
    { 12, Notify, "Invalid Request", "This form cannot be used to delete a record" },
    { 8, Question, "Changes will be lost!", "Are you sure you want to cancel?" },
    { 13, Notify, "Duplicate Key Error",
        "Adding this record creates a duplicate entry for the key: %Message" },
    { 32, Question, "Auto Increment Error",
        "Attempts to automatically number this record have failed.|File: %File|Error: %ErrorText.|Try "
        "Again?" },
    { 19, Notify, "File Load Error", "%File File Load Error.  Error: %ErrorText." },
    { 36, Question, "Beginning of File Error",
        "The beginning of the file %File was encountered. Do you want to start again from the end of the "
        "file?" },
    { 37, Question, "End of File Error",
        "The end of the file %File was encountered. Do you want to start again from the beginning?" },
    { 23, Fatal, "File Access Error", "File %File could not be opened.  Error: %ErrorText." },
    { 25, Notify, "Record was not updated",
        "An error (%ErrorText) was experienced when making changes to the %File file." },
    { 11, Notify, "Record was not deleted",
        "An error (%ErrorText) was experienced when deleting a record from the %File file." },
    { 9, Question, "Confirm Delete", "Are you sure you want to delete the highlighted record?" },
    { 35, Question, "Save Record", "Do you want to save the changes to this record?" },
    { 21, Notify, "Transaction cancelled",
        "Error: (%ErrorText) attempting to frame the transaction on %File." },
    { 1, Notify, "Record Retrieval Error",
        "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to previous "
        "window." },
    { 40, Notify, "View Open Error",
        "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits ignored." },
    { 3, Question, "Record Added",
        "This record has been added to the file. Do you want to add another record?" },
    { 28, Notify, "Record not read",
        "A record held by another station was encountered reading from the %File file." },
    { 5, Notify, "Add New Record?", "Record match not found, do you wish to add a new one?" },
    { 15, Notify, "Value Error", "The value of %Field must be in the list : %Message." },
    { 22, Notify, "No Records", "There are no records available to process." },
    { 2, Notify, "Access Denied", "Could not get write access to %File so trying read-only." },
    { 39, Program, "File Usage Error", "Attempt to use file (%File) before it was opened" },
    { 41, Notify, "Unsupported QBE Column",
        "The saved QBE column, %Field is not supported. It will be dropped from the query." },
    { 42, Notify, "SMTP Error", "The following SMTP Error occurred: %Message " },
    { 43, Notify, "NNTP Error", "%Message " },
    { 44, Notify, "Winsock Error", "%Message " },
};

constexpr std::size_t packedSize()
{
    std::size_t size = 2;
    for (const auto& entry : sources)
        size += 2 + 1 + 1 + entry.title.size() + 1 + entry.text.size();
    return size;
}

constexpr std::size_t appendString(
    std::array<std::uint8_t, packedSize()>& out, std::size_t at, std::string_view text)
{
    out[at++] = static_cast<std::uint8_t>(text.size());
    for (char c : text)
        out[at++] = static_cast<std::uint8_t>(c);
    return at;
}

constexpr std::array<std::uint8_t, packedSize()> pack()
{
    std::array<std::uint8_t, packedSize()> out {};
    constexpr std::size_t count = std::size(sources);
    out[0] = count & 0xFF;
    out[1] = count >> 8;
    std::size_t at = 2;
    for (const auto& entry : sources) {
        out[at++] = entry.id & 0xFF;
        out[at++] = entry.id >> 8;
        out[at++] = static_cast<std::uint8_t>(entry.level);
        at = appendString(out, at, entry.title);
        at = appendString(out, at, entry.text);
    }
    return out;
}

constexpr bool fitsLengthBytes()
{
    for (const auto& entry : sources) {
        if (entry.title.size() > 255 || entry.text.size() > 255)
            return false;
    }
    return true;
}

static_assert(std::size(sources) == 43);
static_assert(fitsLengthBytes(), "a title or text is too long for its length byte");

constexpr auto packed = pack();

} // namespace

std::span<const std::uint8_t> defaultErrors()
{
    return packed;
}

} // namespace tvrn2

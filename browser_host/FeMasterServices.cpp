// FeMaster (see FeMaster.cpp for the whole): utility services: paths and
// file addresses, the override control, colours and the colour picker,
// temporary files, saving text and messages to files, and waiting.

#include "browser_host/FeMaster.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "platform/SysCalls.h"
#include "platform/WaitCursor.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <sys/file.h>
#include <unistd.h>

namespace tvrn2 {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t fileRecordSize = 4096;

bool mentionsWebAddress(std::string_view path)
{
    return path.find("www") != std::string_view::npos || path.find("http") != std::string_view::npos
        || path.find("ftp") != std::string_view::npos;
}

int showBox(std::string text, std::string caption, BoxIcon icon, int buttons = Button::Ok,
    std::string customButtons = {})
{
    BoxRequest request;
    request.text = std::move(text);
    request.caption = std::move(caption);
    request.icon = icon;
    request.buttons = buttons;
    request.customButtons = std::move(customButtons);
    return messageBoxes().show(request);
}

void reportFileError(int error, const std::string& path)
{
    showBox(
        "Error: " + fileErrorFromErrno(error, path).text, std::string(FeMaster::libraryName), BoxIcon::Stop);
}

// Writes the text as fixed records of 4096 bytes, the last one filled up
// with blanks; a text of exactly n records gets one more record of blanks.
// Each failing step is reported in its own box. Once the file cannot be
// opened or emptied, or a record cannot be written, nothing more is
// written: appending to old contents, or after a gap, would leave a file
// that looks whole and is not.
void writeTextRecords(std::string_view fileName, std::string_view text)
{
    std::string path(clip(fileName));
    auto& calls = sysCalls();

    if (!fileExists(path)) {
        int created = calls.open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (created < 0)
            reportFileError(errno, path);
        else
            calls.close(created);
    }

    int fd = calls.open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
        reportFileError(errno, path);
        return;
    }
    // Others may read the file but not write it while it is being filled.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
        reportFileError(errno == EWOULDBLOCK ? EACCES : errno, path);
        calls.close(fd);
        return;
    }

    std::size_t pieces = text.size() / fileRecordSize + 1;
    std::string records(pieces * fileRecordSize, ' ');
    std::copy(text.begin(), text.end(), records.begin());
    std::size_t written = 0;
    while (written < records.size()) {
        auto result = calls.write(fd, records.data() + written, records.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0) {
            reportFileError(result < 0 ? errno : ENOSPC, path);
            break;
        }
        written += static_cast<std::size_t>(result);
    }

    if (calls.close(fd) != 0)
        reportFileError(errno, path);
}

// Names in the folder that match the pattern, sorted. A pattern may name
// a subfolder of the folder ("cache/*.tmp"); the names then include it, so
// that folder + name is always the entry itself.
std::vector<std::string> matchingEntries(const std::string& folder, std::string_view pattern)
{
    std::string prefix;
    std::string namePattern(pattern);
    if (auto slash = namePattern.rfind('/'); slash != std::string::npos) {
        prefix = namePattern.substr(0, slash + 1);
        namePattern.erase(0, slash + 1);
    }
    // "*.*" means every entry, with or without a dot in its name.
    if (namePattern == "*.*")
        namePattern = "*";

    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator entries(folder + prefix, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        auto name = entries->path().filename().string();
        if (::fnmatch(namePattern.c_str(), name.c_str(), 0) == 0)
            names.push_back(prefix + name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

void FeMaster::NormalisePath()
{
    auto path = CURRENTPATH.clipped();
    if (path.empty() || path.front() == '!')
        return;

    bool web = mentionsWebAddress(path);
    bool absolute = path.front() == '/' || path.find('\\') != std::string::npos || path.starts_with("file:");
    if (!web && !absolute)
        path = currentDirectory() + "/" + path;

    auto type = OBJECTTYPE.clipped();
    if ((type == "html1" || type == "html3") && !web && !path.starts_with("file:")) {
        // Exactly three slashes, whether the path is "/home/..." or "C:\...".
        path.erase(0, path.find_first_not_of('/'));
        path = "file:///" + path;
    }
    CURRENTPATH = path;
}

std::string FeMaster::FileUrlFolder(std::string_view address)
{
    auto scheme = address.find("file:");
    if (scheme == std::string_view::npos)
        return {};

    // A Windows-form address names a drive: the folder is written with "\".
    auto afterScheme = address.substr(scheme + 5);
    auto firstNonSlash = afterScheme.find_first_not_of('/');
    bool windowsForm = firstNonSlash != std::string_view::npos && afterScheme.size() > firstNonSlash + 1
        && afterScheme[firstNonSlash + 1] == ':';
    if (windowsForm) {
        std::string text(address.substr(std::min(address.find('/'), address.size())));
        auto colon = text.find(':');
        if (colon == std::string::npos)
            return {};
        text.erase(0, colon == 0 ? 0 : colon - 1);
        std::replace(text.begin(), text.end(), '/', '\\');
        text.erase(0, text.find_first_not_of(' '));
        auto last = text.rfind('\\');
        return last == std::string::npos ? std::string() : text.substr(0, last);
    }

    // A POSIX file address: skip the host part, decode escapes, take the folder.
    auto rest = afterScheme;
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        rest.remove_prefix(std::min(rest.find('/'), rest.size()));
    }
    rest = rest.substr(0, std::min(rest.find_first_of("?#"), rest.size()));
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        auto hex = [](char c) {
            return c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f'  ? c - 'a' + 10
                : c >= 'A' && c <= 'F'  ? c - 'A' + 10
                                        : -1;
        };
        if (rest[i] == '%' && i + 2 < rest.size() && hex(rest[i + 1]) >= 0 && hex(rest[i + 2]) >= 0) {
            path.push_back(static_cast<char>(hex(rest[i + 1]) * 16 + hex(rest[i + 2])));
            i += 2;
        } else {
            path.push_back(rest[i]);
        }
    }
    auto last = path.rfind('/');
    if (last == std::string::npos)
        return {};
    return last == 0 ? std::string("/") : path.substr(0, last);
}

void FeMaster::SetOverrideOcx(std::string_view objectType)
{
    auto type = clip(objectType);
    OVERRIDEOCX = type == "html2" || type == "html3" ? type : std::string_view {};
}

std::string FeMaster::ColorToHex(std::int32_t colour)
{
    if (colour <= 0)
        return "000000";
    // The window system's colour is 0x00BBGGRR; anything above the three
    // colour bytes is not part of the colour.
    static constexpr char digits[] = "0123456789ABCDEF";
    auto value = static_cast<std::uint32_t>(colour) & 0xFFFFFFu;
    std::string bgr(6, '0');
    for (int i = 5; i >= 0; --i, value >>= 4)
        bgr[static_cast<std::size_t>(i)] = digits[value & 0xF];
    return bgr.substr(4, 2) + bgr.substr(2, 2) + bgr.substr(0, 2);
}

std::string FeMaster::PickColor()
{
    std::string result;
    if (auto colour = dialogs().chooseColour({ "Choose a Color", 0 }))
        result = "#" + ColorToHex(*colour);
    Trace("FeMaster::PickColor - returning " + result);
    return result;
}

void FeMaster::DeleteTempFiles(std::string_view pattern, std::uint8_t confirm)
{
    std::string folder;
    switch (TEMPDIRLOCATION) {
    case 0:
        folder = currentDirectory() + "/";
        break;
    case 1:
        folder = queryTempDirectory();
        if (folder.empty())
            folder = currentDirectory() + "/";
        break;
    default:
        return;
    }

    auto names = matchingEntries(folder, clip(pattern));
    if (confirm == 1 && names.empty()) {
        showBox("No files need to be deleted.", std::string(libraryName), BoxIcon::Information);
        return;
    }

    enum ConfirmAnswer { Yes = 1, No = 2 };
    for (const auto& name : names) {
        auto path = folder + name;
        if (confirm == 1) {
            int answer
                = showBox("Delete " + path + " ?", "Confirm", BoxIcon::Question, 0, "&Yes|&No|&Cancel");
            if (answer == No)
                continue;
            // Cancel, and a box closed without an answer, stop the clean-up.
            if (answer != Yes)
                return;
        }
        deleteFile(path); // a file that cannot be deleted is left alone
    }
}

void FeMaster::SaveStringToFile(std::string_view fileName, std::string_view text)
{
    writeTextRecords(fileName, clip(text));
}

void FeMaster::SaveCStringToFile(std::string_view fileName, const char* text)
{
    writeTextRecords(fileName, text ? std::string_view(text) : std::string_view {});
}

void FeMaster::SaveMimeMessage(std::string_view fileName, std::string_view replyTo, std::string_view from,
    std::string_view to, std::string_view plainText, std::string_view htmlText)
{
    static constexpr std::string_view boundary = "----=_NextPart_000_012C_01C25B38.92DDC9A0";
    std::string message;
    auto line = [&message](std::string_view text) {
        message += text;
        message += "\r\n";
    };
    auto joined = [](std::string_view a, std::string_view b) { return std::string(a) + std::string(b); };

    // The header is not squeezed into a fixed buffer: long addresses must not
    // cut off the lines that make the message readable.
    line(joined("Reply-To: ", clip(replyTo)));
    line(joined("From: ", clip(from)));
    line(joined("To: ", clip(to)));
    line("Date: Fri, 13 Sep 2002 15:16:45 +0200");
    line("MIME-Version: 1.0");
    line(joined("Content-Type: multipart/alternative; boundary=\"", boundary) + "\"");
    line("X-Priority: 3");
    line("X-MSMail-Priority: Normal");
    line("X-Mailer: Microsoft Outlook Express 5.50.4807.1700");
    line("X-MimeOLE: Produced By Microsoft MimeOLE V5.50.4807.1700");
    line("Subject: test");
    line("");
    line("This is a multi-part message in MIME format.");
    line("");

    line(joined("--", boundary));
    line("Content-Type: text/plain;");
    line("        charset=\"Windows-1252\"");
    line("Content-Transfer-Encoding: quoted-printable");
    line("");
    line(clip(plainText));
    line("");
    line(joined("--", boundary));
    line("Content-Type: text/html;");
    line("        charset=\"Windows-1252\"");
    line("Content-Transfer-Encoding: quoted-printable");
    line("");
    line("");
    line(clip(htmlText));
    line("");
    line(joined("--", boundary) + "--");

    SaveStringToFile(fileName, message);
}

void FeMaster::Wait(std::int32_t seconds)
{
    WaitCursor::Guard busy;
    auto& loop = eventLoop();
    if (seconds <= 0) {
        loop.pump();
        return;
    }
    // The loop's own timer measures the time, so the window system keeps
    // running meanwhile and a clock that jumps back cannot stretch the wait.
    bool done = false;
    auto timer = loop.startTimer(std::chrono::seconds(seconds), [&done] { done = true; });
    loop.runUntil([&done] { return done; });
    loop.stopTimer(timer);
}

void ShellOpen(std::string_view target)
{
    auto clipped = clip(target);
    if (!clipped.empty())
        shellOpen(clipped);
}

} // namespace tvrn2

#pragma once

#include "platform/ScopedSlot.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvrn2 {

// A colour as the window system stores it: 0x00BBGGRR.
using Colour = std::int32_t;

// Flag bits of the open-file dialog.
namespace FileFlag {
inline constexpr int Save = 1;
inline constexpr int KeepDirectory = 2;
inline constexpr int Directory = 4;
inline constexpr int LongNames = 16;
} // namespace FileFlag

struct OpenFileRequest {
    std::string title;
    std::string initialName; // a bare name, or a path whose folder the dialog starts in
    std::string filters; // "description|pattern|description|pattern", patterns joined by ";"
    int flags { 0 };
};

struct ColourRequest {
    std::string title;
    Colour initial { 0 };
};

// One entry of a filter list: "HTML Files" with {"*.htm", "*.html"}.
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;

    friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// Splits "description|pattern|..." into its pairs. A description without a
// pattern is dropped; blanks around descriptions and patterns are removed.
std::vector<FileFilter> parseFilterList(std::string_view filters);

// The platform's modal open-file and colour dialogs.
class Dialogs {
public:
    // The chosen full path, or empty text when the user cancels.
    virtual std::string openFile(const OpenFileRequest& request) = 0;
    // The chosen colour, or nothing when the user cancels.
    virtual std::optional<Colour> chooseColour(const ColourRequest& request) = 0;

protected:
    ~Dialogs() = default;
};

// What every open-file dialog does after the user chose: unless the request
// keeps the directory, the chosen file's folder (a chosen folder itself)
// becomes the working directory. A folder that cannot be entered is left alone.
void enterChosenFolder(const std::string& chosen, int flags);

// The dialogs in use; headless until a window system installs its own.
Dialogs& dialogs();
Dialogs* setDialogs(Dialogs* installed);
using ScopedDialogs = ScopedSlot<Dialogs, setDialogs>;

// Headless dialogs: record every request and answer from a script; with the
// script empty the user is taken to cancel.
class ScriptedDialogs final : public Dialogs {
public:
    std::string openFile(const OpenFileRequest& request) override;
    std::optional<Colour> chooseColour(const ColourRequest& request) override;

    void answerFile(std::string path) { m_files.push_back(std::move(path)); }
    void cancelFile() { m_files.emplace_back(); }
    void answerColour(Colour colour) { m_colours.emplace_back(colour); }
    void cancelColour() { m_colours.emplace_back(std::nullopt); }

    const std::vector<OpenFileRequest>& fileRequests() const { return m_fileRequests; }
    const std::vector<ColourRequest>& colourRequests() const { return m_colourRequests; }
    void clear();

private:
    std::deque<std::string> m_files;
    std::deque<std::optional<Colour>> m_colours;
    std::vector<OpenFileRequest> m_fileRequests;
    std::vector<ColourRequest> m_colourRequests;
};

} // namespace tvrn2

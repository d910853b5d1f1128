#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tvrn2 {

enum class RestoreDirectory { No, Yes };

// Asks the user for a file with the platform's open-file dialog, starting in
// a default folder with a default name and a filter list.
class FileSelectDialog {
public:
    void Init(std::string_view title, std::uint8_t flags = 0);
    // Appends a filter pair to MASKSTRING.
    void AddMask(std::string_view description, std::string_view pattern);
    // Makes the pair the only filter.
    void SetMask(std::string_view description, std::string_view pattern);
    // The chosen full path, or empty text when the user cancels. With
    // RestoreDirectory::Yes the working directory is as before afterwards.
    std::string Ask(RestoreDirectory restore = RestoreDirectory::No);

    std::uint8_t FLAGS { 0 };
    // "description|pattern|description|pattern", patterns joined by ";".
    std::string MASKSTRING;
    std::string DEFAULTDIRECTORY;
    std::string DEFAULTFILE;
    std::string WINDOWTITLE;
    // The working directory before the dialog, in full: a cut path could not be restored.
    std::string SAVEPATH;
};

} // namespace tvrn2

#include "framework/FileSelectDialog.h"

#include "platform/Dialogs.h"
#include "platform/FixedText.h"

#include <algorithm>
#include <filesystem>

namespace tvrn2 {

void FileSelectDialog::Init(std::string_view title, std::uint8_t flags)
{
    WINDOWTITLE.assign(title);
    FLAGS = flags;
    MASKSTRING.clear();
    DEFAULTDIRECTORY.clear();
    DEFAULTFILE.clear();
    SAVEPATH.clear();
}

void FileSelectDialog::AddMask(std::string_view description, std::string_view pattern)
{
    if (!trim(MASKSTRING).empty())
        MASKSTRING += '|';
    MASKSTRING.append(description).append("|").append(pattern);
}

void FileSelectDialog::SetMask(std::string_view description, std::string_view pattern)
{
    MASKSTRING.clear();
    AddMask(description, pattern);
}

std::string FileSelectDialog::Ask(RestoreDirectory restore)
{
    std::error_code ignored;
    SAVEPATH = std::filesystem::current_path(ignored).string();
    if (!trim(DEFAULTDIRECTORY).empty()) {
        // Folders given in the Windows form (".\") use the other separator here.
        std::string folder(clip(DEFAULTDIRECTORY));
        std::replace(folder.begin(), folder.end(), '\\', '/');
        std::filesystem::current_path(folder, ignored);
    }
    OpenFileRequest request { std::string(clip(WINDOWTITLE)), std::string(clip(DEFAULTFILE)),
        trim(MASKSTRING).empty() ? std::string("All Files|*.*") : std::string(clip(MASKSTRING)), FLAGS };
    std::string chosen = dialogs().openFile(request);
    if (restore == RestoreDirectory::Yes)
        std::filesystem::current_path(SAVEPATH, ignored);
    return chosen;
}

} // namespace tvrn2

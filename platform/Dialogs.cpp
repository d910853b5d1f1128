#include "platform/Dialogs.h"

#include "platform/FixedText.h"

#include <filesystem>

namespace tvrn2 {
namespace {
ScriptedDialogs headless;
Dialogs* installedDialogs = nullptr;

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}
} // namespace

std::vector<FileFilter> parseFilterList(std::string_view filters)
{
    std::vector<FileFilter> result;
    if (trim(filters).empty())
        return result;
    auto parts = split(filters, '|');
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter filter { std::string(trim(parts[i])), {} };
        for (auto pattern : split(parts[i + 1], ';')) {
            if (!trim(pattern).empty())
                filter.patterns.emplace_back(trim(pattern));
        }
        if (!filter.patterns.empty())
            result.push_back(std::move(filter));
    }
    return result;
}

void enterChosenFolder(const std::string& chosen, int flags)
{
    if (chosen.empty() || (flags & FileFlag::KeepDirectory))
        return;
    std::filesystem::path folder = chosen;
    if (!(flags & FileFlag::Directory))
        folder = folder.parent_path();
    std::error_code ignored;
    if (!folder.empty())
        std::filesystem::current_path(folder, ignored);
}

Dialogs& dialogs()
{
    return installedDialogs ? *installedDialogs : headless;
}

Dialogs* setDialogs(Dialogs* installed)
{
    auto* previous = installedDialogs;
    installedDialogs = installed;
    return previous;
}

std::string ScriptedDialogs::openFile(const OpenFileRequest& request)
{
    m_fileRequests.push_back(request);
    if (m_files.empty())
        return {};
    auto answer = std::move(m_files.front());
    m_files.pop_front();
    enterChosenFolder(answer, request.flags);
    return answer;
}

std::optional<Colour> ScriptedDialogs::chooseColour(const ColourRequest& request)
{
    m_colourRequests.push_back(request);
    if (m_colours.empty())
        return std::nullopt;
    auto answer = m_colours.front();
    m_colours.pop_front();
    return answer;
}

void ScriptedDialogs::clear()
{
    m_files.clear();
    m_colours.clear();
    m_fileRequests.clear();
    m_colourRequests.clear();
}

} // namespace tvrn2

#include "platform/LiveRegistry.h"

#include "platform/GObjectPtr.h"
#include "platform/TextCase.h"

#include <cstdlib>
#include <gio/gio.h>

namespace tvrn2 {
namespace {

constexpr std::string_view classesRoot = "hkey_classes_root\\";
constexpr std::string_view openCommand = "\\shell\\open\\command";

RegistryValue textValue(std::string name, std::string_view text)
{
    RegistryValue value { std::move(name), REG_SZ, std::string(text) };
    value.data.push_back('\0');
    return value;
}

std::string commandOf(GAppInfo* app)
{
    if (!app)
        return {};
    if (const char* command = g_app_info_get_commandline(app); command && *command)
        return command;
    const char* executable = g_app_info_get_executable(app);
    return executable ? executable : "";
}

std::string commandForType(const char* contentType)
{
    auto app = GObjectPtr<GAppInfo>::adopt(g_app_info_get_default_for_type(contentType, FALSE));
    return commandOf(app.get());
}

// The desktop's default command for files named *.extension.
std::string commandForExtension(std::string_view extension)
{
    if (extension.empty() || extension.find_first_of("\\/") != std::string_view::npos)
        return {};
    std::string sample = "file." + std::string(extension);
    gboolean uncertain = FALSE;
    GCharPtr type(g_content_type_guess(sample.c_str(), nullptr, 0, &uncertain));
    if (!type || g_content_type_is_unknown(type.get()))
        return {};
    return commandForType(type.get());
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

std::string downloadDirectory()
{
    // The folder can be changed while the program runs; read it afresh.
    g_reload_user_special_dirs_cache();
    if (const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD); folder && *folder)
        return folder;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : g_get_home_dir()) + "/Downloads";
}

std::vector<RegistryValue> liveRegistryValues(std::string_view keyPath)
{
    std::string key = toLowerAscii(keyPath);
    while (!key.empty() && key.back() == '\\')
        key.pop_back();

    if (key == "hkey_current_user\\software\\microsoft\\internet explorer")
        return { textValue("Download Directory", downloadDirectory()) };

    if (key.rfind(classesRoot, 0) != 0)
        return {};
    std::string_view below = std::string_view(key).substr(classesRoot.size());

    if (below == "mailto\\shell\\open\\command") {
        auto app = GObjectPtr<GAppInfo>::adopt(g_app_info_get_default_for_uri_scheme("mailto"));
        std::string command = commandOf(app.get());
        return command.empty() ? std::vector<RegistryValue> {} : std::vector { textValue("", command) };
    }
    if (below.size() > 1 && below.front() == '.' && below.find('\\') == std::string_view::npos) {
        std::string_view extension = below.substr(1);
        if (commandForExtension(extension).empty())
            return {};
        // ".htm" names its class "htmlfile", as the class of ".html" is.
        std::string className
            = extension == "htm" ? std::string("htmlfile") : std::string(extension) + "file";
        return { textValue("", className) };
    }
    if (endsWith(below, openCommand)) {
        std::string_view className = below.substr(0, below.size() - openCommand.size());
        if (className.size() > 4 && endsWith(className, "file")) {
            std::string command = commandForExtension(className.substr(0, className.size() - 4));
            if (!command.empty())
                return { textValue("", command) };
        }
    }
    return {};
}

} // namespace tvrn2

#include "platform/Shell.h"

#include "platform/FixedText.h"
#include "platform/GObjectPtr.h"

#include <cerrno>
#include <filesystem>
#include <gio/gio.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tvrn2 {
namespace {

int resultForError(const GError* error)
{
    if (error && error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_NOT_FOUND:
            return ShellResult::FileNotFound;
        case G_IO_ERROR_NOT_DIRECTORY:
            return ShellResult::PathNotFound;
        case G_IO_ERROR_PERMISSION_DENIED:
            return ShellResult::AccessDenied;
        case G_IO_ERROR_NOT_SUPPORTED:
            return ShellResult::NoAssociation;
        default:
            return ShellResult::AssociationIncomplete;
        }
    }
    if (error && error->domain == G_SPAWN_ERROR) {
        if (error->code == G_SPAWN_ERROR_ACCES || error->code == G_SPAWN_ERROR_PERM)
            return ShellResult::AccessDenied;
        if (error->code == G_SPAWN_ERROR_NOMEM)
            return ShellResult::OutOfMemory;
    }
    // The application is registered but could not be started: its entry
    // is as good as broken.
    return ShellResult::AssociationIncomplete;
}

// "scheme:" with a scheme of two or more characters, so that a drive
// letter ("C:\page.htm") is not taken for one.
std::string uriScheme(std::string_view target)
{
    auto colon = target.find(':');
    if (colon == std::string_view::npos || colon < 2)
        return {};
    auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (!isAlpha(target[0]))
        return {};
    for (std::size_t i = 1; i < colon; ++i) {
        char c = target[i];
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return {};
    }
    std::string scheme(target.substr(0, colon));
    for (auto& c : scheme)
        c = static_cast<char>(g_ascii_tolower(c));
    return scheme;
}

GObjectPtr<GAppInfo> applicationForScheme(const std::string& scheme)
{
    return GObjectPtr<GAppInfo>::adopt(g_app_info_get_default_for_uri_scheme(scheme.c_str()));
}

int launchUri(const std::string& uri, const std::string& scheme)
{
    auto app = applicationForScheme(scheme);
    if (!app)
        return ShellResult::NoAssociation;
    GList uris { const_cast<char*>(uri.c_str()), nullptr, nullptr };
    GError* error = nullptr;
    if (!g_app_info_launch_uris(app.get(), &uris, nullptr, &error)) {
        GErrorPtr owned(error);
        return resultForError(error);
    }
    return ShellResult::Opened;
}

// Tells a missing file from a missing folder, and a file the user may
// not read, before any application is asked.
int checkPath(const std::string& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0) {
        switch (errno) {
        case EACCES:
        case EPERM:
            return ShellResult::AccessDenied;
        case ENOTDIR:
            return ShellResult::PathNotFound;
        case ENOENT: {
            auto folder = std::filesystem::path(path).parent_path();
            std::error_code ignored;
            return std::filesystem::is_directory(folder, ignored) ? ShellResult::FileNotFound
                                                                  : ShellResult::PathNotFound;
        }
        case ENOMEM:
            return ShellResult::OutOfMemory;
        default:
            return ShellResult::FileNotFound;
        }
    }
    if (::access(path.c_str(), R_OK) != 0)
        return ShellResult::AccessDenied;
    return ShellResult::Opened;
}

// The default application for the file's type; null with the reason in `result`.
GObjectPtr<GAppInfo> applicationForFile(GFile* file, int& result)
{
    GError* error = nullptr;
    auto info = GObjectPtr<GFileInfo>::adopt(g_file_query_info(
        file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, &error));
    if (!info) {
        GErrorPtr owned(error);
        result = resultForError(error);
        return {};
    }
    const char* type = g_file_info_get_content_type(info.get());
    auto app = type ? GObjectPtr<GAppInfo>::adopt(g_app_info_get_default_for_type(type, FALSE))
                    : GObjectPtr<GAppInfo> {};
    result = app ? ShellResult::Opened : ShellResult::NoAssociation;
    return app;
}

int launchFile(GFile* file)
{
    GCharPtr path(g_file_get_path(file));
    if (!path)
        return ShellResult::FileNotFound;
    if (int checked = checkPath(path.get()); checked != ShellResult::Opened)
        return checked;

    int found = ShellResult::NoAssociation;
    auto app = applicationForFile(file, found);
    if (!app)
        return found;

    GError* error = nullptr;
    GList files { file, nullptr, nullptr };
    if (!g_app_info_launch(app.get(), &files, nullptr, &error)) {
        GErrorPtr owned(error);
        return resultForError(error);
    }
    return ShellResult::Opened;
}

} // namespace

bool hasDefaultApplication(std::string_view text)
{
    std::string target(trim(text));
    auto scheme = uriScheme(target);
    if (scheme == "file") {
        auto file = GObjectPtr<GFile>::adopt(g_file_new_for_uri(target.c_str()));
        int found = ShellResult::NoAssociation;
        return applicationForFile(file.get(), found).get() != nullptr;
    }
    if (!scheme.empty())
        return applicationForScheme(scheme).get() != nullptr;
    return target.starts_with("www.") && applicationForScheme("http").get() != nullptr;
}

int shellOpen(std::string_view text)
{
    std::string target(trim(text));
    if (target.empty())
        return ShellResult::FileNotFound;

    auto scheme = uriScheme(target);
    if (scheme == "file") {
        auto file = GObjectPtr<GFile>::adopt(g_file_new_for_uri(target.c_str()));
        return launchFile(file.get());
    }
    if (!scheme.empty())
        return launchUri(target, scheme);
    if (target.starts_with("www."))
        return launchUri("http://" + target, "http");

    auto file = GObjectPtr<GFile>::adopt(g_file_new_for_commandline_arg(target.c_str()));
    return launchFile(file.get());
}

} // namespace tvrn2

#include "platform/webkit/ErrorPage.h"

#include "platform/GObjectPtr.h"
#include "platform/webkit/ErrorPageTemplate.h"

#include <gio/gio.h>
#include <string_view>
#include <webkit2/webkit2.h>

namespace tvrn2 {
namespace {

std::string escaped(std::string_view text)
{
    GCharPtr markup(g_markup_escape_text(text.data(), static_cast<gssize>(text.size())));
    return markup.get();
}

void replaceAll(std::string& text, std::string_view placeholder, const std::string& value)
{
    for (auto at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

} // namespace

ErrorPageText errorPageText(const GError* error)
{
    if (error && error->domain == G_RESOLVER_ERROR)
        return { "The site cannot be reached",
            "The name of the site could not be found. Check the address for typing errors and that this "
            "computer is connected to the Internet." };
    if (error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED))
        return { "The connection was refused",
            "The site is there but did not accept the connection. It may be down for a moment; try again "
            "in a little while." };
    if (error
        && (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL)
            || g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_CANNOT_SHOW_URI)))
        return { "The address is not understood",
            "The browser cannot open addresses of this kind. Check that the address starts with "
            "http://, https://, ftp:// or file://." };
    if (error
        && (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST)
            || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND)))
        return { "The file was not found",
            "There is no file at this place on this computer. It may have been moved, renamed or deleted." };
    return { "The page could not be loaded",
        std::string(error && error->message ? error->message : "The browser gave no reason.")
            + " Check the connection and try again." };
}

std::string errorPageHtml(const std::string& address, const GError* error)
{
    ErrorPageText text = errorPageText(error);
    std::string page = errorPageTemplate;
    replaceAll(page, "{{title}}", escaped(text.title));
    replaceAll(page, "{{address}}", escaped(address));
    replaceAll(page, "{{advice}}", escaped(text.advice));
    return page;
}

} // namespace tvrn2

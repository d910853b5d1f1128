#pragma once

#include <glib.h>
#include <string>

namespace tvrn2 {

// The page shown in place of an address that failed to load: what failed in
// plain words, the address, one line of advice and a "Try Again" button that
// loads the address again.
struct ErrorPageText {
    std::string title;
    std::string advice;
};

// Where the page's Try Again goes; the view loads the failed address instead.
inline constexpr const char* errorPageRetryUri = "tvrn2-try-again:";

// The words for a load error: an unknown host, a refused connection, an
// address the browser does not understand, a missing file, or anything else.
ErrorPageText errorPageText(const GError* error);

// The whole page for the failed address, its texts escaped.
std::string errorPageHtml(const std::string& address, const GError* error);

} // namespace tvrn2

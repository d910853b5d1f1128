#pragma once

#include <string>
#include <vector>

namespace tvrn2::test {

// The suite's own desktop, set up before the first test: its web browser
// (the default for http and https) is a script that adds every address it
// is started with to a list. GLib reads the desktop's folders once per
// process, and it reads them here; the XDG variables are then put back, so a
// test's own settings folder still holds its registry store.
class DesktopBrowser {
public:
    // The addresses the browser was started with, in the order it wrote them.
    static std::vector<std::string> opened();
    // Runs the main loop until the browser has written `uri`; false when it never does.
    static bool waitFor(const std::string& uri);
    // Empties the list.
    static void forget();
};

} // namespace tvrn2::test

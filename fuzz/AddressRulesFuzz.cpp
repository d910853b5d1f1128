// The browser's address rules: how Load rewrites a typed address, how a
// local name becomes a file address, and the folder of a file address.
#include "browser_host/FeBrowser.h"
#include "browser_host/FeMaster.h"
#include "fuzz/FuzzFields.h"

#include <algorithm>
#include <string>

using namespace tvrn2;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto fields = fuzz::splitFields(data, size, 3);
    std::string_view type = fields[0];
    std::string_view directory = fields[1];
    std::string_view address = fields[2];

    std::string resolved = FeBrowser::resolveAddress(address, directory);
    FUZZ_CHECK(!resolved.empty());
    // Nothing typed is dropped but the leading slashes a file prefix stands for.
    std::string_view typed = clip(address);
    typed.remove_prefix(std::min(typed.find_first_not_of('/'), typed.size()));
    FUZZ_CHECK(resolved.find(typed) != std::string::npos);
    // A file prefix the rules added has exactly three slashes.
    auto lowerStart = [](std::string_view text) {
        std::string start(text.substr(0, 5));
        for (char& c : start)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return start;
    };
    if (resolved.starts_with("file:") && lowerStart(clip(address)) != "file:")
        FUZZ_CHECK(resolved.starts_with("file:///") && (resolved.size() == 8 || resolved[8] != '/'));

    FeMaster master;
    master.OBJECTTYPE = type;
    master.CURRENTPATH = address;
    std::string before = master.CURRENTPATH.clipped();
    master.NormalisePath();
    std::string normalised = master.CURRENTPATH.clipped();
    // A file prefix the rules added has exactly three slashes.
    if (normalised.starts_with("file:") && !before.starts_with("file:")
        && normalised.size() < decltype(master.CURRENTPATH)::capacity)
        FUZZ_CHECK(normalised.starts_with("file:///") && (normalised.size() == 8 || normalised[8] != '/'));

    std::string folder = master.FileUrlFolder(address);
    FUZZ_CHECK(folder.size() <= address.size());
    return 0;
}

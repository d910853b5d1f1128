// The browser's address rules: how Load rewrites a typed address, how a
// local name becomes a file address, and the folder of a file address.
#include "browser_host/FeBrowser.h"
#include "browser_host/FeMaster.h"
#include "fuzz/FuzzFields.h"

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
    // Nothing typed is dropped: the address is kept whole in what is loaded.
    FUZZ_CHECK(resolved.find(clip(address)) != std::string::npos);

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

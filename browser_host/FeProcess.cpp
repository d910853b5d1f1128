#include "browser_host/FeProcess.h"

#include "browser_host/FeMaster.h"
#include "platform/DebugOutput.h"

#include <memory>

namespace tvrn2 {
namespace {

std::string banner(std::string_view greeting)
{
    std::string text = std::string(FeMaster::libraryName) + " LIB  ****  "
        + std::string(FeMaster::makerAddress) + "  ****  " + std::string(greeting);
    return FeBase::traceLine("FE [0] : " + text, 0, true);
}

} // namespace

std::vector<ObjectQRecord>& ObjectQ()
{
    static std::vector<ObjectQRecord> queue;
    return queue;
}

std::vector<DunQRecord>& DunQ()
{
    static std::vector<DunQRecord> queue;
    return queue;
}

void feProcessStart()
{
    DunQ().clear();
    ObjectQ().clear();
    outputDebugString(banner("hello"));
    outputDebugString(FeBase::traceLine("FE [0] : feInit: Version=" + std::string(FeMaster::announcedVersion)
            + "; DLL=" + std::string(FeMaster::buildNumber),
        0, true));
}

void feProcessEnd()
{
    outputDebugString(banner("goodbye"));
    feDispose::Kill();
    ObjectQ().clear();
    DunQ().clear();
}

void feDispose::Kill()
{
    // A blank object of the thread: it has no client site and no document of
    // its own, so releasing its sites frees only what the thread still holds
    // in the register. It was never numbered, so its Kill leaves the
    // instance counter alone; it is silent at debug level 0.
    auto scratch = std::make_unique<FeMaster>();
    scratch->Kill();
    scratch->KillOLE2();
}

} // namespace tvrn2

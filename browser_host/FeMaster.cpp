// FeMaster, the browser host's master object, is spread over five sources.
// This one: construction, the debug switch, Init and Kill, the temporary
// folder and the version queries. FeMasterConnection.cpp holds the
// connection state and dial-up, FeMasterRegistry.cpp registry values and page
// setup, FeMasterServices.cpp the file, colour and wait services, and
// FeMasterSites.cpp the sites that host controls in a window.

#include "browser_host/FeMaster.h"

#include "platform/OsVersion.h"
#include "platform/SystemInfo.h"
#include "platform/TextCase.h"
#include "platform/WaitCursor.h"

#include <filesystem>

namespace tvrn2 {
namespace {

// Shared by every master object of the process; belongs to the user-interface thread.
std::int32_t instances = 0;

constexpr std::int32_t maxInstanceNumber = 1000;

// Four decimal digits: shorter numbers get leading zeros, longer ones keep their first four.
std::string fourDigits(std::uint32_t number)
{
    auto digits = std::to_string(number);
    if (digits.size() < 4)
        digits.insert(0, 4 - digits.size(), '0');
    return digits.substr(0, 4);
}

} // namespace

std::int32_t FeMaster::instanceCounter()
{
    return instances;
}

std::string FeMaster::currentDirectory()
{
    std::error_code error;
    auto path = std::filesystem::current_path(error);
    return error ? std::string(".") : path.string();
}

void FeMaster::FeDebug()
{
    // The first switch present wins, in this order, so "off" beats the others.
    static constexpr std::pair<std::string_view, std::uint8_t> switches[] = {
        { "/fedebugoff", 0 },
        { "/fedebugmin", 1 },
        { "/fedebugmax", 2 },
    };
    auto command = toLowerAscii(commandLine());
    for (auto [name, level] : switches) {
        if (command.find(name) != std::string::npos) {
            DEBUGGING = level;
            break;
        }
    }

    switch (DEBUGGING) {
    case 0:
        Trace("FeDebug : Debugging turned off", 0, 0, 1);
        break;
    case 1:
        Trace("FeDebug : Debugging set to level 1 - \"minimum\"", 0, 0, 1);
        break;
    case 2:
        Trace("FeDebug : Debugging set to level 2 - \"maximum\"", 0, 0, 1);
        break;
    default:
        break;
    }
}

std::string FeMaster::queryTempDirectory()
{
    // The field holds 127 characters; a longer folder name would come back
    // cut and point somewhere else, so it counts as a failed query.
    auto path = tempPath();
    if (path.empty() || path.size() > decltype(WINDOWSTEMPDIR)::capacity) {
        TEMPULONG = 0;
        return {};
    }
    WINDOWSTEMPDIR = path;
    TEMPULONG = static_cast<std::uint32_t>(path.size());
    return WINDOWSTEMPDIR.clipped();
}

void FeMaster::Init()
{
    FeDebug();
    if (CLASSINSTANCENUMBER != 0) {
        Trace("FeMaster::Init - self.init already called for object " + std::to_string(CLASSINSTANCENUMBER)
            + ", aborting method...");
        return;
    }

    if (++instances > maxInstanceNumber)
        instances = 1;
    CLASSINSTANCENUMBER = instances;
    m_counted = true;

    // The log file's folder keeps its own case: Linux file names are case-sensitive.
    switch (TEMPDIRLOCATION) {
    case 0:
        LOGFILENAME = currentDirectory() + "/fe_log.txt";
        break;
    case 1:
        if (auto folder = queryTempDirectory(); !folder.empty())
            LOGFILENAME = folder + "fe_log.txt";
        else
            LOGFILENAME = currentDirectory() + "/fe_log.txt";
        break;
    default:
        break;
    }

    GetOSVersion();
}

void FeMaster::Kill()
{
    if (m_counted) {
        if (instances > 0)
            --instances;
        m_counted = false;
    }
    Trace("FeMaster::Kill");
    if (AUTODISCONNECTDEFAULTINTERNETCONNECTION != 1)
        return;

    Trace("FeMaster::Kill - !Checking online status...");
    if (!IsOnline()) {
        Trace("FeMaster::Kill - Not connected via modem.");
        return;
    }

    Trace("FeMaster::Kill - Closing modem connection...");
    std::uint8_t result = 0;
    switch (AUTODIALDEFAULTINTERNETCONNECTION) {
    case 1:
        result = ConnectionAction(3, "");
        break;
    case 2:
        result = ConnectionAction(4, "");
        break;
    default:
        ConnectionAction(3, "");
        result = ConnectionAction(4, "");
        break;
    }
    Trace("FeMaster::Kill - Closing modem connection... - RetVar = " + std::to_string(result));
}

std::string FeMaster::osVersionText(const OsVersion& version, std::string_view productType)
{
    std::string code;
    switch (version.platformId) {
    case 0:
        code = "  31";
        break;
    case 1:
        code = version.minor == 0 ? "  95"
            : version.minor == 10 ? "  98"
            : version.minor == 90 ? "  ME"
                                  : "    ";
        break;
    case 2: {
        bool workstation = toUpperAscii(trim(productType)) == "WINNT";
        if (version.major <= 4)
            code = workstation ? " NTW" : " NTS";
        else if (version.major == 5)
            code = workstation ? "W2KP" : "W2KS";
        else
            code = "    ";
        break;
    }
    default:
        code = "0000";
        break;
    }
    return code + "." + fourDigits(version.major) + "." + fourDigits(version.minor) + "."
        + fourDigits(version.build);
}

std::string FeMaster::GetOSVersion()
{
    auto version = osVersion();
    // Only the NT family's codes depend on the product type.
    std::string productType;
    if (version.platformId == 2)
        productType = GetRegistryValue(
            "HKEY_LOCAL_MACHINE", "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType");
    return osVersionText(version, productType);
}

std::string FeMaster::GetVersion(std::uint8_t kind)
{
    switch (kind) {
    case 1:
        return std::string(buildNumber);
    case 2:
        return std::string(announcedVersion);
    default:
        return std::string(releaseVersion);
    }
}

std::string FeMaster::OcxVersion()
{
    WaitCursor::Guard busy;
    std::string result;
    auto type = OBJECTTYPE.clipped();

    if (type == "pdf" || type == "flash" || type == "html1") {
        PDF4SUPPORTED = 0;
        PDF5SUPPORTED = 0;
        if (type == "pdf") {
            auto eula4 = std::string(clip(GetRegistryValue(
                "HKEY_LOCAL_MACHINE", "Software\\Adobe\\Acrobat Reader\\4.0\\AdobeViewer", "EULA")));
            Trace("FeMaster::OcxVersion - returning !" + eula4 + "!");
            if (eula4 == "1") {
                PDF4SUPPORTED = 1;
                result = "Acrobat 4";
                Trace("FeMaster::OcxVersion - PDF4 supported");
            }
            auto eula5 = std::string(clip(GetRegistryValue(
                "HKEY_LOCAL_MACHINE", "Software\\Adobe\\Acrobat Reader\\5.0\\AdobeViewer", "EULA")));
            Trace("FeMaster::OcxVersion - returning !" + eula5 + "!");
            if (!eula5.empty()) {
                PDF5SUPPORTED = 1;
                result = "Acrobat 5";
                Trace("FeMaster::OcxVersion - PDF5 supported");
            }
        } else if (type == "html1") {
            result
                = GetRegistryValue("HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Internet Explorer", "Version");
            Trace("FeMaster::OcxVersion - returning " + result);
        }
    } else if (type == "windows") {
        result = GetOSVersion();
    } else {
        result = "Unsupported Object Type";
    }

    if (clip(result).empty())
        result = "Not found";
    PDFVERSION = result;
    return result;
}

std::string FeMaster::OcxVersionFor(std::string_view objectType)
{
    auto saved = OBJECTTYPE;
    OBJECTTYPE = objectType;
    auto result = OcxVersion();
    OBJECTTYPE = saved;
    return result;
}

} // namespace tvrn2

#pragma once

#include "browser_host/FeBase.h"
#include "platform/FixedText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tvrn2 {

struct OsVersion;

// The base of every browser control object: lifecycle and instance numbers,
// debug level from the command line, detection of the system and of installed
// viewers, and the utility services (registry, colours, temporary files, file
// writing, address normalisation). A derived class may replace any virtual
// operation; their order is the order of the table every derived class extends.
class FeMaster : public FeBase {
public:
    // Name and address shown in the library's banners and message-box captions.
    static constexpr std::string_view libraryName = "FE Browser Host";
    static constexpr std::string_view makerAddress = "http://www.okelby-associates.example";
    // What GetVersion answers: the release, the release as announced, the build.
    static constexpr std::string_view releaseVersion = "3.32";
    static constexpr std::string_view announcedVersion = "3.32 Beta";
    static constexpr std::string_view buildNumber = "62";

    FeMaster() = default;
    ~FeMaster() override = default;

    // Sets DEBUGGING from the "/fedebugoff", "/fedebugmin" or "/fedebugmax"
    // switch of the program's command line (in that order of precedence) and
    // reports the level in force with one forced trace line.
    void FeDebug();

    // The whole text of a registry value, trailing blanks removed; the value
    // GetRegistryValue answers is its first 255 characters. A path read for
    // a file operation must not be cut.
    static std::string wholeRegistryValue(
        std::string_view hive, std::string_view key, std::string_view valueName);

    virtual void NormalisePath(); // 1
    virtual std::string GetRegistryValue(std::string_view hive, std::string_view key,
        std::string_view valueName); // 2
    virtual std::string GetOSVersion(); // 3
    virtual void Wait(std::int32_t seconds); // 4
    virtual std::uint8_t SetRegistryValue(std::string_view hive, std::string_view key,
        std::string_view valueName,
        std::string_view value); // 5
    virtual void Init(); // 6
    virtual void SetOverrideOcx(std::string_view objectType); // 7
    virtual void SaveCStringToFile(std::string_view fileName, const char* text); // 8
    virtual std::string PickColor(); // 9
    virtual std::string ColorToHex(std::int32_t colour); // 10
    virtual std::string FileUrlFolder(std::string_view address); // 11
    virtual void DeleteTempFiles(std::string_view pattern, std::uint8_t confirm); // 12
    virtual std::string GetVersion(std::uint8_t kind); // 13
    virtual void GetIEPageSetup(); // 14
    virtual std::uint8_t IsOnline(); // 15
    virtual std::string OcxVersionFor(std::string_view objectType); // 16
    virtual std::string OcxVersion(); // 17
    virtual void SaveStringToFile(std::string_view fileName, std::string_view text); // 18
    virtual void Kill(); // 19
    virtual std::uint8_t ConnectionAction(std::uint8_t action, std::string_view name); // 20
    virtual void SaveMimeMessage(std::string_view fileName, std::string_view replyTo, std::string_view from,
        std::string_view to, std::string_view plainText, std::string_view htmlText); // 21
    virtual std::string TextPairHook(std::string_view, std::string_view) { return {}; } // 22
    // Called with every window event before the window's own handlers.
    virtual void TakeEvent() { } // 23
    virtual void PlainHook() { } // 24
    virtual std::uint8_t ByteHook() { return 0; } // 25
    virtual void Resize(std::int32_t control, std::uint8_t useCurrent, std::int32_t dLeft, std::int32_t dTop,
        std::int32_t dRight, std::int32_t dBottom); // 26
    virtual void TakeFocus(std::int32_t handle); // 27
    virtual void HideControl(); // 28
    virtual void UnhideControl(); // 29
    virtual std::string TextHook() { return {}; } // 30

    // The control-site operations: place the embedded control over a
    // placeholder control and release its site objects again.
    std::uint8_t InitOLE2(std::int32_t control, std::int32_t windowHandle, std::int32_t clientHandle,
        std::string_view identifier);
    std::uint8_t KillOLE2();

    // Number of initialised, not yet killed master objects of the process.
    static std::int32_t instanceCounter();

    // "code.major.minor.build" for a version record, the code from the
    // platform family, the version and, for the NT family, the product type.
    static std::string osVersionText(const OsVersion& version, std::string_view productType);

    CString<1024> CURRENTPATH;
    PaddedString<1024> LASTLOADEDDOCUMENT;
    std::int32_t CURRENTCONTROL { 0 };
    PaddedString<10> OBJECTTYPE;
    PaddedString<10> OBJECTTYPE_BACKUP;
    std::uint8_t LOADCALLED { 0 };
    std::uint8_t DISABLEWAIT { 0 };
    std::uint8_t TEMPDIRLOCATION { 0 }; // 0 current directory, 1 temporary directory
    std::int32_t CONTROLWIDTH { 0 };
    std::int32_t CONTROLHEIGHT { 0 };
    std::uint8_t DONTVERIFYPATH { 0 };
    std::uint8_t OS { 0 };
    PaddedString<255> LOGFILENAME;
    CString<128> WINDOWSTEMPDIR;
    std::uint32_t TEMPULONG { 0 };
    PaddedString<20> OVERRIDEOCX;
    PaddedString<20> RETURNSTRING;
    std::uint8_t RETURNBYTE { 0 };
    PaddedString<255> IEPRINTERHEADER;
    PaddedString<255> IEPRINTERFOOTER;
    PaddedString<15> IEPRINTERORIENTATION;
    PaddedString<50> PDFVERSION;
    std::uint8_t PDF4SUPPORTED { 0 };
    std::uint8_t PDF5SUPPORTED { 0 };
    std::uint8_t AUTODIALDEFAULTINTERNETCONNECTION { 0 };
    std::uint8_t AUTODISCONNECTDEFAULTINTERNETCONNECTION { 0 };
    std::uint8_t KEEPINTERNETCONNECTIONOPENFORLIFEOFAPP { 0 };
    PaddedString<2048> FE_PATH;
    PaddedString<255> FE_LASTPATH;
    PaddedString<255> FE_APPPATH;
    std::int32_t FE_CURRENTCONTROL { 0 };
    PaddedString<20> FE_TREATUNKNOWNSAS;
    std::int32_t FE_HEIGHT { 0 };
    std::int32_t FE_WIDTH { 0 };
    PaddedString<2048> FE_RESTOREPATH;
    std::intptr_t OLEFRAME { 0 };
    std::intptr_t OLECONTAINER { 0 };
    std::intptr_t OLEDOC { 0 };
    std::intptr_t CLIENTSITE { 0 };
    std::intptr_t CORECONTROL { 0 };
    std::uint8_t MUSTQUIT { 0 };
    std::intptr_t CPWAPPLICATION { 0 };
    std::uint8_t COMINITIALIZED { 0 };
    std::int32_t MPVERSIONNUMBER { 0 };
    std::uint8_t CONTROLSETTOHIDDEN { 0 };

private:
    // The working directory, without a trailing "/".
    static std::string currentDirectory();

    // The temporary directory with its trailing "/", as the platform reports
    // it, into WINDOWSTEMPDIR and TEMPULONG; blank when the query failed.
    std::string queryTempDirectory();

    // Set while this object holds a place in the instance counter, so that a
    // Kill without Init, or a second Kill, cannot drive the counter off.
    bool m_counted { false };
};

// Opens an address or a file with the desktop's default application; a
// blank target opens nothing. Whether an application took it is not reported.
void ShellOpen(std::string_view target);

} // namespace tvrn2

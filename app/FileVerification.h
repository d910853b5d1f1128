#pragma once

#include "app/EvpMdCtx.h"
#include "app/RecordDigest.h"
#include "app/VerificationView.h"
#include "platform/Files.h"
#include "platform/FixedText.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tvrn2 {

class RecordFile;
class RegistryReader;

// The file the watch waits for and what it must hash to.
struct VerificationTarget {
    std::string fileName;
    std::int64_t size { 0 };
    std::string digest; // 32 upper-case hexadecimal digits
};

// Decides, one timer tick at a time, whether the installer has arrived in the
// download directory and whether it is intact.
class FileVerification {
public:
    static constexpr const char* installerFileName = "WindowsXP-KB835935-SP2-ENU.exe";
    static constexpr std::int64_t installerSize = 278'927'592;
    static constexpr const char* installerDigest = "59A98F181FE383907E520A391D75B5A7";
    static constexpr const char* downloadKey = "Software\\Microsoft\\Internet Explorer\\";
    static constexpr const char* downloadValue = "Download Directory";

    static constexpr const char* inProgressText = "*** Download in Progress ***";
    static constexpr const char* checkingText = "Please wait... Checking MD5";
    static constexpr const char* validText = "XP Service Pack 2 file is valid!";
    static constexpr const char* notValidText = "XP Service Pack 2 file is NOT valid!";

    static VerificationTarget installer() { return { installerFileName, installerSize, installerDigest }; }

    enum class Outcome {
        Waiting, // no file of the expected size yet: the watch goes on
        Valid,
        NotValid, // the file has been deleted
        NoVerdict, // the check could not read the file; nothing deleted, the watch goes on
    };

    FileVerification(RegistryReader& registry, CString<256>& filePath, VerificationView& view,
        VerificationTarget target = installer());

    // One tick of the watch.
    Outcome OnTimer();

    // The path the watch looks at now: the download directory read afresh
    // with the file's name after one "/".
    std::string watchedPath();

    // Whether the browser is still asking about or saving a file under this
    // path. Those bytes are not the download's yet: no tick judges them.
    std::function<bool(const std::string& path)> downloadUnderWay;

    const PaddedString<32>& FILECHECKSUM() const { return m_checksum; }

private:
    Outcome check();
    Outcome noVerdict();
    // The stop box; Abort ends the program on the spot.
    void stop(const std::string& text);

    RegistryReader& m_registry;
    CString<256>& m_filePath; // what the window shows of the path
    std::string m_path; // the whole path, for every file operation
    VerificationView& m_view;
    VerificationTarget m_target;
    PaddedString<32> m_checksum;
    EvpMdCtx m_md5;
};

} // namespace tvrn2

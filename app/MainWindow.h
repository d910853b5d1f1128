#pragma once

#include "app/FileVerification.h"
#include "app/MainSettings.h"
#include "app/VerificationView.h"
#include "framework/FileSelectDialog.h"
#include "framework/WindowController.h"
#include "platform/FixedText.h"
#include "platform/Window.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tvrn2 {

class ErrorManager;
class FeBrowser;
class LinkDesktop;
class MainBrowser;
class MainLinks;
class RegistryReader;

namespace detail {
// Holds the window so that it exists before the controller that runs it.
struct MainWindowFrame {
    Window frame;
};
} // namespace detail

// The program's one window: the maker's page in the embedded browser with an
// address line, the download button that fetches the installer into the
// browser's download directory and then watches for it every ten seconds
// until the file has been verified, and the support link.
class MainWindow final : private detail::MainWindowFrame, public WindowController, private VerificationView {
public:
    // Controls in declaration order.
    static constexpr int LOOKUPFILE = 1;
    static constexpr int FILECHECKSUM = 2;
    static constexpr int FEPATHSTRING = 3;
    static constexpr int FEPATH = 4;
    static constexpr int FEFILELOOKUP = 5;
    static constexpr int VALIDSTRING = 6;
    static constexpr int FECONTROL = 7;
    static constexpr int TAVRINSUPPORTBTN = 8;
    static constexpr int OKBUTTON = 9;
    static constexpr int CSFILEPATH_PROMPT = 10;
    static constexpr int CSFILEPATH = 11;
    static constexpr int CANCELBUTTON = 12;

    static constexpr const char* captionPrefix = "XP SP2 Tavrin - Okelby & Associates, LLC. - ";
    static constexpr const char* icon = "~tvrn2tavrin.ico";
    static constexpr const char* handCursor = "~hand2.cur";
    static constexpr const char* notTestedText = "** File Not Tested **";
    static constexpr const char* closeQuestion
        = "A download is still being saved.|Stop it and close the window?";
    static constexpr const char* closeButtons = "&Stop Download and Close|&Keep Downloading";
    // What assistive technology calls the controls that show no caption.
    static constexpr const char* checksumName = "MD5 Digest";
    static constexpr const char* statusName = "Status";
    static constexpr const char* browserName = "Web Page";
    static constexpr const char* localFileFilters = "HTML Files|*.htm;*.html;*.mht|Text Files|*.txt|Image "
                                                    "Files|*.gif;*.jpeg;*.jpg;*.png;*.art;*.au;*.aiff;"
                                                    "*.xbm|XML Files|*.xml|EML Files|*.eml|All Files|*.*";

    // `filePath` is the program-wide installer path the window shows and the
    // watch fills in; `registry` reads the download directory.
    MainWindow(ErrorManager& errors, RegistryReader& registry, CString<256>& filePath,
        MainSettings settings = {}, const LinkDesktop* desktop = nullptr);
    ~MainWindow() override;

    // The embedded browser: null until the window has opened and again after it closed.
    FeBrowser* browser() const;
    MainLinks& links() { return *m_links; }
    FileSelectDialog& fileSelect() { return m_fileSelect; }
    const FileVerification& verification() const { return m_verification; }
    std::uint32_t ownerThread() const { return m_threadId; }

    // The main window's browser while it is open, for the rest of the program.
    static FeBrowser* programBrowser();

    // Called once the embedded browser exists, before the home page is asked for.
    std::function<void(FeBrowser&)> onBrowserOpened;

    int Init() override;
    int Kill() override;
    void OnFirstShow() override;
    int HandleEvent() override;
    int OnWindowEvent() override;
    int OnAccepted() override;
    int OnFieldEvent() override;
    // A user's close while a download is being saved asks first.
    int OnClose() override;
    // Only events delivered on the thread that opened the window are taken.
    int AcceptsEvent() override;

private:
    void buildWindow();
    void setUpLinks();
    void setUpFileSelect();
    void load(const std::string& address);
    // The download button's watch: every period until a verdict.
    void startWatch();
    void watchDownloads();
    void killBrowser();
    void viewLocalFile();

    // What the watch does to the window.
    void showFilePath(std::string_view path) override;
    void showValidString(std::string_view text) override;
    void showChecksum(std::string_view checksum) override;
    void setWaitCursor(bool wait) override;
    void stopTimer() override;

    ErrorManager& m_errors;
    CString<256>& m_filePath;
    MainSettings m_settings;
    FileSelectDialog m_fileSelect;
    std::unique_ptr<MainBrowser> m_browser;
    std::unique_ptr<MainLinks> m_links;
    FileVerification m_verification;
    std::uint32_t m_threadId { 0 };
    bool m_browserLive { false };
    bool m_waitCursor { false };
};

} // namespace tvrn2

#include "app/MainWindow.h"

#include "app/LinkedResources.h"
#include "app/MainBrowser.h"
#include "app/MainLinks.h"
#include "browser_host/FeMaster.h"
#include "framework/ErrorManager.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/KeyCode.h"
#include "platform/MessageBox.h"
#include "platform/SystemInfo.h"
#include "platform/UserPaths.h"
#include "platform/WaitCursor.h"
#include "platform/webkit/WebView.h"

#include <chrono>
#include <filesystem>

namespace tvrn2 {
namespace {

FeBrowser* s_programBrowser = nullptr;

std::string workingDirectory()
{
    std::error_code ignored;
    return std::filesystem::current_path(ignored).string();
}

void changeDirectory(const std::string& folder)
{
    std::error_code ignored;
    std::filesystem::current_path(folder, ignored);
}

} // namespace

MainWindow::MainWindow(ErrorManager& errors, RegistryReader& registry, CString<256>& filePath,
    MainSettings settings, const LinkDesktop* desktop)
    : WindowController(frame)
    , m_errors(errors)
    , m_filePath(filePath)
    , m_settings(std::move(settings))
    , m_browser(std::make_unique<MainBrowser>(frame, FECONTROL))
    , m_links(std::make_unique<MainLinks>(
          frame, OKBUTTON, [this](const std::string& address) { load(address); },
          desktop ? *desktop : systemLinkDesktop()))
    , m_verification(registry, filePath, *this, m_settings.target)
{
    buildWindow();
}

MainWindow::~MainWindow()
{
    // A window torn down without running to its end still lets go of its browser.
    killBrowser();
    setWaitCursor(false);
}

FeBrowser* MainWindow::browser() const
{
    return m_browserLive ? m_browser.get() : nullptr;
}

FeBrowser* MainWindow::programBrowser()
{
    return s_programBrowser;
}

void MainWindow::buildWindow()
{
    linkResources();
    Window& w = frame;
    w.setCaption(captionPrefix + std::string(FeMaster::makerAddress));
    w.setIcon(icon);
    // The window system places the window.
    w.setRect({ -1, -1, 397, 269 });

    // A width or height of 0 fits the contents.
    w.add(ControlKind::Button, "?LOOKUPFILE", "...", { 192, 236, 12, 12 });
    w.add(ControlKind::String, "?FILECHECKSUM", {}, { 210, 236, 0, 0 });
    w.add(ControlKind::String, "?FEPATHSTRING", "Address:", { 10, 6, 34, 10 });
    w.add(ControlKind::Entry, "?FEPATH", {}, { 44, 6, 208, 10 });
    w.add(ControlKind::Button, "?FEFILELOOKUP", "...", { 256, 6, 12, 10 });
    w.add(ControlKind::String, "?VALIDSTRING", notTestedText, { 218, 254, 0, 0 });
    w.add(ControlKind::Container, "?FECONTROL", {}, { 8, 20, 384, 210 });
    w.add(ControlKind::Button, "?TAVRINSUPPORTBTN", "Tavrin Support", { 134, 252, 70, 14 });
    w.add(ControlKind::Button, "?OKBUTTON", "Download XP SP2 from Microsoft", { 4, 252, 122, 14 });
    w.add(ControlKind::Prompt, "?CSFILEPATH:PROMPT", "XP SP2 File:", { 6, 236, 0, 0 });
    w.add(ControlKind::Entry, "?CSFILEPATH", {}, { 50, 236, 138, 10 });
    w.add(ControlKind::Button, "?CANCELBUTTON", "Cancel", { 356, 252, 36, 14 });

    w.control(FEFILELOOKUP)->setTooltip("Lookup a fe file to view");
    // Names for assistive technology where no caption says what a control is:
    // the file picker is named after the dialog it opens.
    w.control(LOOKUPFILE)->setAccessibleName("XP SP2 File Selection");
    w.control(FILECHECKSUM)->setAccessibleName(checksumName);
    w.control(VALIDSTRING)->setAccessibleName(statusName);
    w.control(FECONTROL)->setAccessibleName(browserName);
    w.control(FEPATH)->setMaxLength(255);
    w.control(CSFILEPATH)->setMaxLength(255);
    w.control(FILECHECKSUM)->bind([this] { return m_verification.FILECHECKSUM().raw(); }, nullptr);
    w.control(FEPATH)->bind([this] { return m_browser->FE_PATH.clipped(); },
        [this](const std::string& text) { m_browser->FE_PATH = text; });
    w.control(CSFILEPATH)
        ->bind(
            [this] { return m_filePath.clipped(); }, [this](const std::string& text) { m_filePath = text; });
}

int MainWindow::Init()
{
    m_errors.PushProcedure("Main");
    int result = WindowController::Init();
    m_browser->TEMPDIRLOCATION = 0;
    m_browser->AUTODIALDEFAULTINTERNETCONNECTION = 0;
    m_browser->AUTODISCONNECTDEFAULTINTERNETCONNECTION = 0;
    m_browser->KEEPINTERNETCONNECTIONOPENFORLIFEOFAPP = 0;
    if (result)
        return result;
    FIRSTFIELD = LOOKUPFILE;
    ERRORS = &m_errors;
    frame.open();
    m_threadId = currentThreadId();
    frame.control(FEPATH)->alert(KeyCode::Enter);
    setUpLinks();
    setUpFileSelect();
    return 0;
}

int MainWindow::Kill()
{
    int result = WindowController::Kill();
    if (result != 0)
        return result;
    // A window that ended without its close event still lets go of its browser.
    killBrowser();
    setWaitCursor(false);
    m_errors.PopProcedure();
    return result;
}

void MainWindow::killBrowser()
{
    if (m_browserLive) {
        m_browserLive = false;
        m_browser->Kill(0);
    }
    if (s_programBrowser == m_browser.get())
        s_programBrowser = nullptr;
}

void MainWindow::setUpLinks()
{
    MainLinks& links = *m_links;
    links.HandCursorToUse = handCursor;
    // The links follow the mouse on every timer tick, so only while the watch runs.
    links.Init(static_cast<int>(Event::Timer));
    links.CheckURLs = true;
    links.AddItem(OKBUTTON, m_settings.addresses.installer);
    links.AddItem(TAVRINSUPPORTBTN, m_settings.addresses.support);
    links.Refresh(0);
}

void MainWindow::setUpFileSelect()
{
    m_fileSelect.Init("Select A File");
    m_fileSelect.FLAGS |= FileFlag::LongNames;
    m_fileSelect.SetMask("All Files", "*.*");
    m_fileSelect.DEFAULTDIRECTORY = ".\\";
    m_fileSelect.DEFAULTFILE = m_settings.target.fileName;
    m_fileSelect.WINDOWTITLE = "XP SP2 File Selection";
}

void MainWindow::OnFirstShow()
{
    WindowController::OnFirstShow();
    m_browser->Init(std::nullopt, FECONTROL, 0, 0, 1);
    m_browserLive = true;
    s_programBrowser = m_browser.get();
    watchDownloads();
    if (onBrowserOpened)
        onBrowserOpened(*m_browser);
}

int MainWindow::HandleEvent()
{
    if (m_browserLive)
        m_browser->TakeEvent();
    m_links->TakeEvent();
    return WindowController::HandleEvent();
}

int MainWindow::OnWindowEvent()
{
    switch (frame.event()) {
    case Event::OpenWindow: {
        frame.setTimer(0);
        int result = WindowController::OnWindowEvent();
        m_browser->FE_PATH = m_settings.addresses.homePage;
        frame.display(FEPATH);
        load(m_browser->FE_PATH.clipped());
        m_links->Refresh(0);
        return result;
    }
    case Event::CloseWindow:
    case Event::CloseDown: {
        int result = WindowController::OnWindowEvent();
        if (result != LevelSkip)
            killBrowser();
        return result;
    }
    case Event::Timer:
        m_verification.OnTimer();
        return 0;
    default:
        return WindowController::OnWindowEvent();
    }
}

int MainWindow::OnAccepted()
{
    const int control = frame.field();
    // The address line's own text is taken below; every other control's
    // acceptance takes all the screen's values first.
    if (control != FEPATH) {
        frame.update();
        SyncComponents();
    }
    if (int result = WindowController::OnAccepted())
        return result;
    switch (control) {
    case LOOKUPFILE:
        m_filePath = m_fileSelect.Ask(RestoreDirectory::Yes);
        frame.display();
        break;
    case FEPATH:
        m_browser->FE_PATH = frame.control(FEPATH)->screenText();
        load(m_browser->FE_PATH.clipped());
        break;
    case FEFILELOOKUP:
        viewLocalFile();
        break;
    case OKBUTTON:
        startWatch();
        break;
    case CANCELBUTTON:
        frame.post(Event::CloseWindow);
        break;
    default:
        break;
    }
    return 0;
}

int MainWindow::OnFieldEvent()
{
    if (frame.event() == Event::AlertKey && frame.field() == FEPATH && frame.lastKeyCode() == KeyCode::Enter)
        frame.post(Event::Accepted, FEPATH);
    return 0;
}

int MainWindow::OnClose()
{
    WebView* web = m_browserLive ? m_browser->webView() : nullptr;
    // The session's end (CloseDown) is not asked about: nobody may be there to answer.
    if (frame.event() == Event::CloseWindow && web && web->downloads().saving() > 0) {
        BoxRequest question;
        question.text = closeQuestion;
        question.caption = frame.caption();
        question.icon = BoxIcon::Question;
        question.customButtons = closeButtons;
        question.defaultButton = 2;
        if (messageBoxes().show(question) != 1)
            return LevelSkip;
        web->downloads().cancelAll();
    }
    return WindowController::OnClose();
}

int MainWindow::AcceptsEvent()
{
    return currentThreadId() == m_threadId ? 1 : 0;
}

void MainWindow::startWatch()
{
    frame.setTimer(m_settings.watchPeriod);
    Redisplay(false);
    frame.control(VALIDSTRING)->setText(FileVerification::inProgressText);
}

void MainWindow::watchDownloads()
{
    WebView* web = m_browser->webView();
    if (!web)
        return;
    DownloadController& downloads = web->downloads();
    // The installer's name may stand for bytes the browser is about to
    // replace: no verdict about them until the download has ended, and a
    // download that completes there is checked as the download button would
    // have it checked.
    m_verification.downloadUnderWay = [this](const std::string& path) {
        WebView* web = m_browserLive ? m_browser->webView() : nullptr;
        return web && web->downloads().busyWith(path);
    };
    downloads.onEvent = [this](const DownloadEvent& event) {
        if (event.kind == DownloadEvent::Kind::Finished && samePath(event.file, m_verification.watchedPath()))
            startWatch();
    };
}

void MainWindow::load(const std::string& address)
{
    if (m_browserLive)
        m_browser->Load(address);
}

void MainWindow::viewLocalFile()
{
    MainBrowser& b = *m_browser;
    // The full path is what is restored; the field keeps what fits.
    const std::string appPath = workingDirectory();
    b.FE_APPPATH = appPath;
    if (!b.FE_LASTPATH.blank())
        changeDirectory(b.FE_LASTPATH.clipped());
    b.FE_RESTOREPATH = b.FE_PATH.raw();
    b.FE_PATH.clear();

    OpenFileRequest request;
    request.title = "Choose File to View";
    request.initialName = b.FE_PATH.clipped();
    request.filters = localFileFilters;
    request.flags = FileFlag::LongNames;
    std::string chosen = dialogs().openFile(request);
    if (chosen.empty()) {
        changeDirectory(appPath);
        b.FE_PATH = b.FE_RESTOREPATH.raw();
        return;
    }
    b.FE_PATH = chosen;
    b.FE_LASTPATH = workingDirectory();
    changeDirectory(appPath);
    load(b.FE_PATH.clipped());
    frame.display(FEPATH);
}

void MainWindow::showFilePath(std::string_view)
{
    frame.display(CSFILEPATH);
}

void MainWindow::showValidString(std::string_view text)
{
    frame.control(VALIDSTRING)->setText(std::string(text));
    if (text != FileVerification::checkingText)
        return;
    // The check reads the whole file without going back to the loop: let the
    // window show the text before it starts. Window events wait meanwhile.
    tvrn2::EventLoop& loop = eventLoop();
    bool painted = false;
    auto id = loop.startTimer(std::chrono::milliseconds(50), [&painted] { painted = true; });
    loop.runUntil([&painted] { return painted; });
    loop.stopTimer(id);
}

void MainWindow::showChecksum(std::string_view)
{
    frame.display(FILECHECKSUM);
}

void MainWindow::setWaitCursor(bool wait)
{
    if (wait == m_waitCursor)
        return;
    m_waitCursor = wait;
    if (wait)
        WaitCursor::push();
    else
        WaitCursor::pop();
}

void MainWindow::stopTimer()
{
    frame.setTimer(0);
}

} // namespace tvrn2

#pragma once

#include "platform/GObjectPtr.h"
#include "platform/Halt.h"
#include "platform/Listeners.h"
#include "platform/gtk/OwnedWidget.h"
#include "platform/webkit/DocumentBridge.h"
#include "platform/webkit/DownloadBar.h"
#include "platform/webkit/DownloadController.h"
#include "platform/webkit/ScriptRunner.h"
#include "platform/webkit/UnresponsivePageBar.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkPageSetup GtkPageSetup;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitFindController WebKitFindController;

namespace tvrn2 {

enum class DataStore { Persistent, Ephemeral };
enum class ReloadMode { Normal, BypassCache };
enum class PrintMode { WithDialog, WithoutDialog };
enum class PageOrientation { Portrait, Landscape };
enum class LoadStage { Started, Redirected, Committed, Finished };
enum class EditCommand { Cut, Copy, Paste, SelectAll, Undo, Redo, Delete, ClearSelection };
enum class HistoryStep { Back, Forward };

struct WebViewOptions {
    // Ephemeral keeps cookies, cache and storage in memory only (tests).
    DataStore dataStore { DataStore::Persistent };
    // Persistent data goes below this folder; empty means the user's data
    // and cache folders ($XDG_DATA_HOME/tvrn2/web, $XDG_CACHE_HOME/tvrn2/web).
    std::filesystem::path dataFolder;
    // Asked at every download; empty means the desktop's download folder.
    DownloadController::FolderSource downloadFolder;
    // Questions and progress of downloads; nullptr shows them in the view's own bar.
    DownloadDisplay* downloadDisplay { nullptr };
};

struct PrintSetup {
    std::optional<PageOrientation> orientation;
    // Print into this PDF file instead of a printer.
    std::filesystem::path outputFile;
};

// A WebKitGTK web view with what a host program needs around it: its own web
// context and website-data manager, navigation, editing commands, find,
// printing, saving, downloads with their bar, synchronous script calls and
// the document bridge. No knowledge of the program's own classes.
class WebView {
public:
    explicit WebView(WebViewOptions options = {});
    ~WebView();
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    // The page with its bars; owned here, the host packs it into a container.
    GtkWidget* widget() const { return m_box.get(); }
    WebKitWebView* webKitView() const { return m_view.get(); }
    // Empty once the view has gone.
    std::weak_ptr<WebView*> weak() const { return m_self; }

    // Extra request headers are "Name: value" lines.
    bool load(const std::string& uri, const std::vector<std::string>& headers = {});
    // Shows this markup as the page, addressed as about:blank.
    void loadHtml(const std::string& html);
    bool goBack();
    bool goForward();
    bool reload(ReloadMode mode = ReloadMode::Normal);
    bool stop();
    bool canGoBack() const;
    bool canGoForward() const;
    // A page whose script never ends keeps its web process from answering,
    // and whatever is sent there waits. Once the engine reports the process
    // as not answering, a navigation call above (or one already waiting for
    // that process to take it) shows the not-responding bar over the page
    // and stays pending: "End Page" ends the process and makes the call
    // again in a fresh one (a stop just ends it), "Wait" only hides the bar.
    // The bar goes by itself, and the call goes on, once the page answers.
    // The view's web process ends with the view, and on a halt.
    //
    // True from the moment a navigation is accepted here (load, reload, back,
    // forward) until it ends: finished, failed, stopped, refused or turned
    // into a download. The engine itself only reports a load once its web
    // process has started it, which can be after the server has the request.
    bool loading() const;
    std::string uri() const;
    std::string title() const;

    void execute(EditCommand command);

    // Highlights the matches and selects the first; results reach onFindResult.
    void find(const std::string& text);
    void findNext();
    void findPrevious();
    void findFinish();
    // The dialogs below are modal; the host's events wait while one is open
    // (through the same hook as a waiting script call).
    // Asks for the text to find; false when the user cancelled.
    bool runFindDialog();

    // Starts printing the page; the outcome reaches onPrintDone. With the
    // dialog, false when the user cancelled it.
    bool print(PrintMode mode, const PrintSetup& setup = {});
    // Lets the user change paper and orientation for later prints; answers
    // the orientation the dialog ends with. The dialog opens on `current`
    // when given, so a cancelled dialog answers it unchanged.
    PageOrientation runPageSetupDialog(std::optional<PageOrientation> current = std::nullopt);
    // Saves the page with its resources as one MHTML file; outcome to onSaveDone.
    bool saveAs(const std::filesystem::path& file);
    // Asks for the file first; false when the user cancelled.
    bool saveAsWithDialog();

    // Calls `done` once the page has drawn what it shows now and handed it on
    // to the screen; at once (from the loop) when the page cannot tell.
    // Never called after the view has gone.
    void whenPainted(std::function<void()> done);

    ScriptRunner& scripts() { return *m_scripts; }
    DocumentBridge& document() { return *m_document; }
    DownloadController& downloads() { return *m_downloads; }
    // The view's own download bar; nullptr when another display was given.
    DownloadBar* downloadBar() const { return m_bar.get(); }
    UnresponsivePageBar& unresponsivePageBar() { return *m_unresponsiveBar; }

    Listeners<void(LoadStage, const std::string& uri)> onLoadChanged;
    std::function<void(const std::string& uri, const std::string& message)> onLoadFailed;
    // Every load that ended without its page, and how: failed (the error
    // page follows), stopped, or turned into a download.
    enum class LoadEnd { Failed, Stopped, BecameDownload };
    std::function<void(const std::string& uri, LoadEnd how)> onLoadEndedWithoutPage;
    std::function<void(unsigned matches)> onFindResult;
    std::function<void(bool ok, const std::string& message)> onPrintDone;
    std::function<void(bool ok, const std::string& message)> onSaveDone;
    // Asked before the view follows a navigation (of the page or of a frame),
    // or opens what was aimed at a new window; false stops it. A new window
    // (window.open, a link aimed at one, the context menu's "in New Window"
    // entries) opens its address in the desktop's web browser: this program
    // has one view per window.
    std::function<bool(const std::string& uri, bool newWindow)> onNavigationRequest;
    // The user asked to go back or forward in the history with a key
    // (Alt+Left, Alt+Right, the keyboard's own Back and Forward keys) or a
    // mouse button (8, 9). The host goes its own way there, as its own back
    // and forward commands do; without a listener the view goes itself.
    std::function<void(HistoryStep)> onHistoryStepAsked;

    // What the page shows and asks of its host, as the engine reports it.
    std::function<void(const std::string& title)> onTitleChanged;
    // The load's estimated progress, 0 to 1.
    std::function<void(double progress)> onProgressChanged;
    // The link under the pointer; empty when it left the link.
    std::function<void(const std::string& link)> onLinkHovered;
    // The page asked to close its window (window.close()).
    std::function<void()> onCloseRequested;
    // The page asked for the whole screen; the view lets it have it.
    std::function<void()> onFullScreenEntered;
    // Whether there is history to go back and forward to, after any change.
    std::function<void(bool canGoBack, bool canGoForward)> onBackForwardChanged;
    // A download of this view's began.
    std::function<void()> onDownloadStarted;

    // The script world the bridge lives in, apart from the page's own scripts.
    static constexpr const char* bridgeWorld = "tvrn2";

private:
    static void onLoadChangedSignal(WebKitWebView*, int event, WebView* self);
    static int onLoadFailedSignal(WebKitWebView*, int event, const char* uri, void* error, WebView* self);
    static int onDecidePolicy(WebKitWebView*, void* decision, int type, WebView* self);
    static void onFoundText(void* controller, unsigned matches, WebView* self);
    static void onWebProcessTerminated(WebKitWebView*, int reason, WebView* self);
    static void onResponsivenessChanged(WebKitWebView*, void*, WebView* self);
    static void onHistoryChanged(void* list, void* added, void* removed, WebView* self);
    static void onTitleSignal(WebKitWebView*, void*, WebView* self);
    static void onProgressSignal(WebKitWebView*, void*, WebView* self);
    static void onMouseTarget(WebKitWebView*, void* hit, unsigned modifiers, WebView* self);
    static void onCloseSignal(WebKitWebView*, WebView* self);
    static int onEnterFullScreen(WebKitWebView*, WebView* self);
    static void onDownloadStartedSignal(WebKitWebContext*, void* download, WebView* self);
    static void onFailedToFindText(void* controller, WebView* self);
    static GtkWidget* onCreate(WebKitWebView*, void* action, WebView* self);
    static int onContextMenu(WebKitWebView*, void* menu, void* event, void* hit, WebView* self);
    static int onKeyPress(GtkWidget*, void* event, WebView* self);
    static int onButtonPress(GtkWidget*, void* event, WebView* self);
    void historyStepAsked(HistoryStep step);
    // Shows the not-responding bar while the engine reports the web process
    // as not answering; hidden otherwise.
    void askAboutUnresponsivePage();
    void unresponsivePageAnswered(UnresponsivePageBar::Answer answer);
    void openNewWindow(const std::string& uri);
    GtkWidget* toplevelWindow() const;
    std::unique_ptr<WaitHold> holdHostEvents();

    std::shared_ptr<WebView*> m_self; // async callbacks hold a weak copy
    // Let go of in the reverse order: the box (destroyed with the page in
    // it), the finder, the view, the print setup, the context.
    GObjectPtr<WebKitWebContext> m_context;
    GObjectPtr<GtkPageSetup> m_pageSetup; // what the user last chose for printing
    GObjectPtr<WebKitWebView> m_view; // also held by the box while it stands
    GObjectPtr<WebKitFindController> m_finder;
    OwnedWidget m_box;
    std::unique_ptr<DownloadBar> m_bar;
    std::unique_ptr<DownloadController> m_downloads;
    std::unique_ptr<ScriptRunner> m_scripts;
    std::unique_ptr<DocumentBridge> m_document;
    std::unique_ptr<UnresponsivePageBar> m_unresponsiveBar;
    // A halt ends the web process too: one whose page never ends its script
    // would go on for a while after the program.
    std::unique_ptr<EmergencyRestorer> m_processEnder;
    // A navigation accepted here whose page the engine has not shown yet, by
    // its address as the engine spells it. Reports about an earlier load can
    // still arrive meanwhile (the engine's own loading state goes idle at
    // their end): only this address's commit, failure or refusal ends it.
    struct PendingNavigation {
        std::string uri;
        // Stopped before it started: refused when it asks to go ahead.
        bool stopped { false };
        // The engine asked to go ahead with it; from then on the next load
        // it starts is this one (under its own address or a redirect's).
        bool underWay { false };
        bool started { false };
        // For a step through the history: the entry it goes to. A step
        // within one page loads nothing and only moves the history.
        const void* historyItem { nullptr };
        // Makes the same call again, in a fresh web process.
        std::function<void()> again;
    };
    std::optional<PendingNavigation> m_pending;
    // The address the error page stands for: its Try Again loads it again.
    std::string m_failedUri;
    void navigationAccepted(std::function<void()> again, const void* historyItem = nullptr);
    bool isPending(const char* uri) const;
    // Whether the engine's report about `uri` ends the pending navigation.
    bool endsPending(const char* uri) const;
};

} // namespace tvrn2

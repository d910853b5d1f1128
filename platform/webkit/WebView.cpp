#include "platform/webkit/WebView.h"

#include "platform/GObjectPtr.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "platform/webkit/ErrorPage.h"

#include <string_view>
#include <utility>
#include <webkit2/webkit2.h>
#if defined(__SANITIZE_ADDRESS__)
#define TVRN2_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TVRN2_LEAK_CHECKED 1
#endif
#endif
#if TVRN2_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace tvrn2 {
namespace {

std::filesystem::path userFolder(const char* base, const std::filesystem::path& chosen, const char* leaf)
{
    if (!chosen.empty())
        return chosen / leaf;
    return std::filesystem::path(base) / "tvrn2" / "web";
}

GObjectPtr<WebKitWebsiteDataManager> makeDataManager(const WebViewOptions& options)
{
    if (options.dataStore == DataStore::Ephemeral)
        return GObjectPtr<WebKitWebsiteDataManager>::adopt(webkit_website_data_manager_new_ephemeral());
    auto data = userFolder(g_get_user_data_dir(), options.dataFolder, "data");
    auto cache = userFolder(g_get_user_cache_dir(), options.dataFolder, "cache");
    return GObjectPtr<WebKitWebsiteDataManager>::adopt(webkit_website_data_manager_new(
        "base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(), nullptr));
}

// The engine set up for a program that shows one page at a time rather than
// for a general browser: no back-forward cache, nothing for WebGL, media
// elements, Web Audio, media streams or media source extensions, which the
// program never uses, and no hardware acceleration, which on a page drawn
// here costs more memory and time than it gains (bench/browser_startup and
// bench/fill_form measure both). JavaScript, images, printing and downloads
// stay as they are.
GObjectPtr<WebKitSettings> onePageSettings()
{
    return GObjectPtr<WebKitSettings>::adopt(webkit_settings_new_with_settings("enable-page-cache", FALSE,
        "enable-webgl", FALSE, "enable-media", FALSE, "enable-webaudio", FALSE, "enable-media-stream", FALSE,
        "enable-mediasource", FALSE, "enable-2d-canvas-acceleration", FALSE, "hardware-acceleration-policy",
        WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER, nullptr));
}

std::filesystem::path desktopDownloadFolder()
{
    if (const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD))
        return folder;
    return std::filesystem::path(g_get_home_dir()) / "Downloads";
}

bool isAttachment(WebKitURIResponse* response)
{
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    if (!headers)
        return false;
    const char* disposition = soup_message_headers_get_one(headers, "Content-Disposition");
    return disposition && g_ascii_strncasecmp(disposition, "attachment", 10) == 0;
}

const char* editingCommandName(EditCommand command)
{
    switch (command) {
    case EditCommand::Cut:
        return WEBKIT_EDITING_COMMAND_CUT;
    case EditCommand::Copy:
        return WEBKIT_EDITING_COMMAND_COPY;
    case EditCommand::Paste:
        return WEBKIT_EDITING_COMMAND_PASTE;
    case EditCommand::SelectAll:
        return WEBKIT_EDITING_COMMAND_SELECT_ALL;
    case EditCommand::Undo:
        return WEBKIT_EDITING_COMMAND_UNDO;
    case EditCommand::Redo:
        return WEBKIT_EDITING_COMMAND_REDO;
    case EditCommand::Delete:
        return "Delete";
    case EditCommand::ClearSelection:
        return "Unselect";
    }
    return "";
}

using WeakView = std::weak_ptr<WebView*>;

void deleteWeakView(gpointer data, GClosure*)
{
    delete static_cast<WeakView*>(data);
}

WebView* lockView(gpointer data)
{
    auto alive = static_cast<WeakView*>(data)->lock();
    return alive ? *alive : nullptr;
}

void reportPrint(WebKitPrintOperation* operation, bool ok, const std::string& message, gpointer data)
{
    // The operation was handed its own reference when it started; it goes here.
    auto owned = GObjectPtr<WebKitPrintOperation>::adopt(operation);
    if (WebView* view = lockView(data); view && view->onPrintDone)
        view->onPrintDone(ok, message);
    g_signal_handlers_disconnect_matched(operation, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, data);
}

void onPrintFailed(WebKitPrintOperation* operation, GError* error, gpointer data)
{
    // "finished" follows "failed": report once, with the reason.
    g_object_set_data_full(G_OBJECT(operation), "tvrn2-print-error",
        g_strdup(error && error->message ? error->message : "printing failed"), g_free);
}

void onPrintFinished(WebKitPrintOperation* operation, gpointer data)
{
    auto* error = static_cast<const char*>(g_object_get_data(G_OBJECT(operation), "tvrn2-print-error"));
    reportPrint(operation, error == nullptr, error ? error : "", data);
}

void onSaved(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<WeakView> weak(static_cast<WeakView*>(data));
    GError* raw = nullptr;
    gboolean ok = webkit_web_view_save_to_file_finish(WEBKIT_WEB_VIEW(source), result, &raw);
    GErrorPtr error(raw);
    auto alive = weak->lock();
    if (alive && (*alive)->onSaveDone)
        (*alive)->onSaveDone(ok, error && error->message ? error->message : "");
}

struct PaintWait {
    WeakView view;
    std::function<void()> done;
};

void onPainted(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<PaintWait> wait(static_cast<PaintWait*>(data));
    // A page without the bridge, or one that went away, answers with an
    // error: the wait is over either way.
    GError* raw = nullptr;
    auto value = GObjectPtr<JSCValue>::adopt(
        webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, &raw));
    GErrorPtr error(raw);
    if (wait->view.lock())
        wait->done();
}

// Leak checking is paused on this thread while one lives; nothing outside
// the sanitizer build.
#if TVRN2_LEAK_CHECKED
struct LeakCheckPause {
    __lsan::ScopedDisabler disabler;
};
#else
struct LeakCheckPause { };
#endif

} // namespace

WebView::WebView(WebViewOptions options)
    : m_self(std::make_shared<WebView*>(this))
{
    if (!g_get_prgname())
        g_set_prgname("tvrn2");

    auto dataManager = makeDataManager(options);
    m_context = GObjectPtr<WebKitWebContext>::adopt(WEBKIT_WEB_CONTEXT(
        g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", dataManager.get(), nullptr)));
    // One page at a time: no resources kept in a cache, in memory or on disk.
    webkit_web_context_set_cache_model(m_context.get(), WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);

    auto userContent = GObjectPtr<WebKitUserContentManager>::adopt(webkit_user_content_manager_new());
    std::string bridgeSource(DocumentBridge::script());
    GHandle<WebKitUserScript, webkit_user_script_unref> bridge(
        webkit_user_script_new_for_world(bridgeSource.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
            WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, bridgeWorld, nullptr, nullptr));
    webkit_user_content_manager_add_script(userContent.get(), bridge.get());

    {
        // The engine's view constructor leaves a reference cycle of four small
        // blocks behind for good (a bare webkit_web_view_new() does the same),
        // and all its frames lack names a suppression could match: the leak
        // checker looks away for this one call only.
        [[maybe_unused]] LeakCheckPause engineConstruction;
        // Our own reference: the host may destroy its window (and with it
        // this widget) before this object goes, and the handlers must still
        // be undone.
        m_view = GObjectPtr<WebKitWebView>::refSink(
            WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_context.get(),
                "user-content-manager", userContent.get(), "settings", onePageSettings().get(), nullptr)));
    }
    m_finder = GObjectPtr<WebKitFindController>::ref(webkit_web_view_get_find_controller(m_view.get()));

    m_box = OwnedWidget(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0));
    GtkWidget* page = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(page), GTK_WIDGET(m_view.get()));
    m_unresponsiveBar = std::make_unique<UnresponsivePageBar>();
    m_unresponsiveBar->onAnswer
        = [this](UnresponsivePageBar::Answer answer) { unresponsivePageAnswered(answer); };
    gtk_overlay_add_overlay(GTK_OVERLAY(page), m_unresponsiveBar->widget());
    gtk_box_pack_start(GTK_BOX(m_box.get()), page, TRUE, TRUE, 0);
    gtk_widget_show(GTK_WIDGET(m_view.get()));
    gtk_widget_show(page);

    DownloadDisplay* display = options.downloadDisplay;
    if (!display) {
        m_bar = std::make_unique<DownloadBar>();
        gtk_box_pack_end(GTK_BOX(m_box.get()), m_bar->widget(), FALSE, FALSE, 0);
        display = m_bar.get();
    }
    auto folder = options.downloadFolder ? std::move(options.downloadFolder) : desktopDownloadFolder;
    m_downloads
        = std::make_unique<DownloadController>(m_view.get(), m_context.get(), *display, std::move(folder));
    if (m_bar)
        m_bar->onStop = [this] { m_downloads->stopShown(); };

    m_scripts = std::make_unique<ScriptRunner>(m_view.get(), bridgeWorld);
    m_document = std::make_unique<DocumentBridge>(*m_scripts);

    g_signal_connect(m_view.get(), "load-changed", G_CALLBACK(onLoadChangedSignal), this);
    g_signal_connect(m_view.get(), "load-failed", G_CALLBACK(onLoadFailedSignal), this);
    g_signal_connect(m_view.get(), "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(m_view.get(), "web-process-terminated", G_CALLBACK(onWebProcessTerminated), this);
    g_signal_connect(
        m_view.get(), "notify::is-web-process-responsive", G_CALLBACK(onResponsivenessChanged), this);
    g_signal_connect(m_view.get(), "create", G_CALLBACK(onCreate), this);
    g_signal_connect(m_view.get(), "context-menu", G_CALLBACK(onContextMenu), this);
    g_signal_connect(
        webkit_web_view_get_back_forward_list(m_view.get()), "changed", G_CALLBACK(onHistoryChanged), this);
    g_signal_connect(m_view.get(), "notify::title", G_CALLBACK(onTitleSignal), this);
    g_signal_connect(m_view.get(), "notify::estimated-load-progress", G_CALLBACK(onProgressSignal), this);
    g_signal_connect(m_view.get(), "mouse-target-changed", G_CALLBACK(onMouseTarget), this);
    g_signal_connect(m_view.get(), "close", G_CALLBACK(onCloseSignal), this);
    g_signal_connect(m_view.get(), "enter-fullscreen", G_CALLBACK(onEnterFullScreen), this);
    // After the download controller's own handler, which takes the download first.
    g_signal_connect(m_context.get(), "download-started", G_CALLBACK(onDownloadStartedSignal), this);
    g_signal_connect(m_finder.get(), "found-text", G_CALLBACK(onFoundText), this);
    g_signal_connect(m_finder.get(), "failed-to-find-text", G_CALLBACK(onFailedToFindText), this);
    // Before the page sees them: the browser's own keys and buttons work
    // whatever the page does with its events, even while it does not answer.
    g_signal_connect(m_view.get(), "key-press-event", G_CALLBACK(onKeyPress), this);
    g_signal_connect(m_view.get(), "button-press-event", G_CALLBACK(onButtonPress), this);
    m_processEnder = std::make_unique<EmergencyRestorer>(
        [view = m_view.get()] { webkit_web_view_terminate_web_process(view); });
}

WebView::~WebView()
{
    m_processEnder.reset();
    g_signal_handlers_disconnect_by_data(m_view.get(), this);
    // Left to itself, a process whose page never ends its script would go
    // on for a while after its view, even after the program.
    webkit_web_view_terminate_web_process(m_view.get());
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(m_view.get()), this);
    g_signal_handlers_disconnect_by_data(m_finder.get(), this);
    g_signal_handlers_disconnect_by_data(m_context.get(), this);
    m_document.reset();
    m_scripts.reset();
    m_downloads.reset();
    m_bar.reset();
    m_unresponsiveBar.reset();
    // Then the box is destroyed and the engine's objects let go, in the
    // reverse order of their members.
}

bool WebView::load(const std::string& uri, const std::vector<std::string>& headers)
{
    if (uri.empty())
        return false;
    auto again = [this, uri, headers] { load(uri, headers); };
    if (headers.empty()) {
        webkit_web_view_load_uri(m_view.get(), uri.c_str());
        navigationAccepted(again);
        return true;
    }
    auto request = GObjectPtr<WebKitURIRequest>::adopt(webkit_uri_request_new(uri.c_str()));
    if (SoupMessageHeaders* requestHeaders = webkit_uri_request_get_http_headers(request.get())) {
        for (const auto& line : headers) {
            auto colon = line.find(':');
            if (colon == std::string::npos || colon == 0)
                continue;
            auto value = line.find_first_not_of(' ', colon + 1);
            soup_message_headers_append(requestHeaders, line.substr(0, colon).c_str(),
                value == std::string::npos ? "" : line.substr(value).c_str());
        }
    }
    webkit_web_view_load_request(m_view.get(), request.get());
    navigationAccepted(again);
    return true;
}

void WebView::loadHtml(const std::string& html)
{
    webkit_web_view_load_html(m_view.get(), html.c_str(), "about:blank");
    navigationAccepted([this, html] { loadHtml(html); });
}

bool WebView::goBack()
{
    if (!webkit_web_view_can_go_back(m_view.get()))
        return false;
    auto* target
        = webkit_back_forward_list_get_back_item(webkit_web_view_get_back_forward_list(m_view.get()));
    webkit_web_view_go_back(m_view.get());
    navigationAccepted([this] { goBack(); }, target);
    return true;
}

bool WebView::goForward()
{
    if (!webkit_web_view_can_go_forward(m_view.get()))
        return false;
    auto* target
        = webkit_back_forward_list_get_forward_item(webkit_web_view_get_back_forward_list(m_view.get()));
    webkit_web_view_go_forward(m_view.get());
    navigationAccepted([this] { goForward(); }, target);
    return true;
}

bool WebView::reload(ReloadMode mode)
{
    if (mode == ReloadMode::BypassCache)
        webkit_web_view_reload_bypass_cache(m_view.get());
    else
        webkit_web_view_reload(m_view.get());
    navigationAccepted([this, mode] { reload(mode); });
    return true;
}

bool WebView::stop()
{
    // The engine only stops a load it has started; one still waiting for its
    // go-ahead would go on, so it is refused when it asks.
    if (m_pending)
        m_pending->stopped = true;
    webkit_web_view_stop_loading(m_view.get());
    // A process that does not answer stops nothing until it is ended.
    askAboutUnresponsivePage();
    return true;
}

bool WebView::canGoBack() const
{
    return webkit_web_view_can_go_back(m_view.get());
}

bool WebView::canGoForward() const
{
    return webkit_web_view_can_go_forward(m_view.get());
}

bool WebView::loading() const
{
    return (m_pending && !m_pending->stopped) || webkit_web_view_is_loading(m_view.get());
}

void WebView::navigationAccepted(std::function<void()> again, const void* historyItem)
{
    // The engine takes the address at once as the view's own, in its own
    // spelling; its reports about this navigation carry that spelling.
    const char* uri = webkit_web_view_get_uri(m_view.get());
    m_pending = PendingNavigation { uri ? uri : "" };
    m_pending->historyItem = historyItem;
    m_pending->again = std::move(again);
    askAboutUnresponsivePage();
}

void WebView::askAboutUnresponsivePage()
{
    if (webkit_web_view_get_is_web_process_responsive(m_view.get())) {
        m_unresponsiveBar->hide();
        return;
    }
    // The page shown, not the address now waiting for it.
    std::string page = title();
    if (page.empty()) {
        WebKitBackForwardListItem* shown
            = webkit_back_forward_list_get_current_item(webkit_web_view_get_back_forward_list(m_view.get()));
        const char* address = shown ? webkit_back_forward_list_item_get_uri(shown) : nullptr;
        page = address ? address : "";
    }
    m_unresponsiveBar->show(page);
}

void WebView::unresponsivePageAnswered(UnresponsivePageBar::Answer answer)
{
    // Waiting leaves everything as it is; so does a page that answers by now.
    if (answer != UnresponsivePageBar::Answer::EndPage
        || webkit_web_view_get_is_web_process_responsive(m_view.get()))
        return;
    std::function<void()> again;
    if (m_pending && !m_pending->stopped && !m_pending->underWay)
        again = std::move(m_pending->again);
    // The engine forgets what it sent the process; the next call starts a
    // fresh one.
    webkit_web_view_terminate_web_process(m_view.get());
    m_pending.reset();
    if (again)
        again();
}

bool WebView::isPending(const char* uri) const
{
    return m_pending && uri && m_pending->uri == uri;
}

bool WebView::endsPending(const char* uri) const
{
    return m_pending && (m_pending->started || isPending(uri));
}

std::string WebView::uri() const
{
    const char* uri = webkit_web_view_get_uri(m_view.get());
    return uri ? uri : "";
}

std::string WebView::title() const
{
    const char* title = webkit_web_view_get_title(m_view.get());
    return title ? title : "";
}

void WebView::execute(EditCommand command)
{
    webkit_web_view_execute_editing_command(m_view.get(), editingCommandName(command));
}

void WebView::find(const std::string& text)
{
    auto options = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;
    webkit_find_controller_search(
        webkit_web_view_get_find_controller(m_view.get()), text.c_str(), options, G_MAXUINT);
}

void WebView::findNext()
{
    webkit_find_controller_search_next(m_finder.get());
}

void WebView::findPrevious()
{
    webkit_find_controller_search_previous(m_finder.get());
}

void WebView::findFinish()
{
    webkit_find_controller_search_finish(m_finder.get());
}

bool WebView::runFindDialog()
{
    // Events stay held until the dialog has gone and the search started.
    auto hold = holdHostEvents();
    std::string text;
    {
        OwnedWidget owned(gtk_dialog_new_with_buttons("Find", GTK_WINDOW(toplevelWindow()),
            GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), "_Cancel", GTK_RESPONSE_CANCEL,
            "_Find", GTK_RESPONSE_ACCEPT, nullptr));
        GtkWidget* dialog = owned.get();
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
        GtkWidget* entry = gtk_entry_new();
        gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
        gtk_container_set_border_width(GTK_CONTAINER(dialog), 6);
        gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), entry, TRUE, TRUE, 6);
        gtk_widget_show_all(dialog);
        if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT)
            text = gtk_entry_get_text(GTK_ENTRY(entry));
    }
    if (text.empty())
        return false;
    find(text);
    return true;
}

std::unique_ptr<WaitHold> WebView::holdHostEvents()
{
    // A modal dialog runs a nested loop, like a waiting script call.
    return m_scripts->holdEvents ? m_scripts->holdEvents() : nullptr;
}

GtkWidget* WebView::toplevelWindow() const
{
    GtkWidget* toplevel = gtk_widget_get_toplevel(m_box.get());
    return gtk_widget_is_toplevel(toplevel) ? toplevel : nullptr;
}

bool WebView::print(PrintMode mode, const PrintSetup& setup)
{
    auto owned = GObjectPtr<WebKitPrintOperation>::adopt(webkit_print_operation_new(m_view.get()));
    WebKitPrintOperation* operation = owned.get();
    auto pageSetup = GObjectPtr<GtkPageSetup>::adopt(
        m_pageSetup ? gtk_page_setup_copy(m_pageSetup.get()) : gtk_page_setup_new());
    if (setup.orientation) {
        gtk_page_setup_set_orientation(pageSetup.get(),
            *setup.orientation == PageOrientation::Landscape ? GTK_PAGE_ORIENTATION_LANDSCAPE
                                                             : GTK_PAGE_ORIENTATION_PORTRAIT);
    }
    webkit_print_operation_set_page_setup(operation, pageSetup.get());
    auto settings = GObjectPtr<GtkPrintSettings>::adopt(gtk_print_settings_new());
    if (!setup.outputFile.empty()) {
        GCharPtr uri(
            g_filename_to_uri(std::filesystem::absolute(setup.outputFile).c_str(), nullptr, nullptr));
        gtk_print_settings_set_printer(settings.get(), "Print to File");
        gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
        gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_URI, uri.get());
    }
    webkit_print_operation_set_print_settings(operation, settings.get());

    g_signal_connect_data(operation, "failed", G_CALLBACK(onPrintFailed), new WeakView(m_self),
        deleteWeakView, GConnectFlags(0));
    g_signal_connect_data(operation, "finished", G_CALLBACK(onPrintFinished), new WeakView(m_self),
        deleteWeakView, GConnectFlags(0));

    if (mode == PrintMode::WithoutDialog) {
        webkit_print_operation_print(operation);
        [[maybe_unused]] auto* untilFinished = owned.release(); // see reportPrint
        return true;
    }
    auto hold = holdHostEvents();
    auto response = webkit_print_operation_run_dialog(operation, GTK_WINDOW(toplevelWindow()));
    if (response == WEBKIT_PRINT_OPERATION_RESPONSE_CANCEL) {
        g_signal_handlers_disconnect_matched(
            operation, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr, (gpointer)onPrintFailed, nullptr);
        g_signal_handlers_disconnect_matched(
            operation, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr, (gpointer)onPrintFinished, nullptr);
        return false;
    }
    // Keep what the user chose for the next print.
    m_pageSetup = GObjectPtr<GtkPageSetup>::ref(webkit_print_operation_get_page_setup(operation));
    [[maybe_unused]] auto* untilFinished = owned.release(); // see reportPrint
    return true;
}

PageOrientation WebView::runPageSetupDialog(std::optional<PageOrientation> current)
{
    if (!m_pageSetup)
        m_pageSetup = GObjectPtr<GtkPageSetup>::adopt(gtk_page_setup_new());
    if (current) {
        gtk_page_setup_set_orientation(m_pageSetup.get(),
            *current == PageOrientation::Landscape ? GTK_PAGE_ORIENTATION_LANDSCAPE
                                                   : GTK_PAGE_ORIENTATION_PORTRAIT);
    }
    auto settings = GObjectPtr<GtkPrintSettings>::adopt(gtk_print_settings_new());
    auto hold = holdHostEvents();
    m_pageSetup = GObjectPtr<GtkPageSetup>::adopt(
        gtk_print_run_page_setup_dialog(GTK_WINDOW(toplevelWindow()), m_pageSetup.get(), settings.get()));
    const GtkPageOrientation orientation = gtk_page_setup_get_orientation(m_pageSetup.get());
    return orientation == GTK_PAGE_ORIENTATION_LANDSCAPE
            || orientation == GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE
        ? PageOrientation::Landscape
        : PageOrientation::Portrait;
}

void WebView::whenPainted(std::function<void()> done)
{
    webkit_web_view_call_async_javascript_function(m_view.get(),
        "return globalThis.__tvrn2Bridge ? await __tvrn2Bridge.painted() : null", -1, nullptr, bridgeWorld,
        nullptr, nullptr, onPainted, new PaintWait { m_self, std::move(done) });
}

bool WebView::saveAs(const std::filesystem::path& file)
{
    if (file.empty())
        return false;
    auto target = GObjectPtr<GFile>::adopt(g_file_new_for_path(file.c_str()));
    webkit_web_view_save_to_file(
        m_view.get(), target.get(), WEBKIT_SAVE_MODE_MHTML, nullptr, onSaved, new WeakView(m_self));
    return true;
}

bool WebView::saveAsWithDialog()
{
    auto hold = holdHostEvents();
    std::filesystem::path chosen;
    {
        OwnedWidget owned(gtk_file_chooser_dialog_new("Save Page As", GTK_WINDOW(toplevelWindow()),
            GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel", GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT,
            nullptr));
        GtkWidget* dialog = owned.get();
        gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
        std::string name = title().empty() ? "page" : title();
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), (name + ".mhtml").c_str());
        if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
            GCharPtr file(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
            if (file)
                chosen = file.get();
        }
    }
    return saveAs(chosen);
}

void WebView::onLoadChangedSignal(WebKitWebView*, int event, WebView* self)
{
    // Once a load has started, the engine's own loading state tells. Other
    // reports may still be about an earlier load this one replaced.
    switch (static_cast<WebKitLoadEvent>(event)) {
    case WEBKIT_LOAD_STARTED:
        if (self->m_pending && self->m_pending->underWay)
            self->m_pending->started = true;
        break;
    case WEBKIT_LOAD_REDIRECTED:
        break;
    case WEBKIT_LOAD_COMMITTED:
    case WEBKIT_LOAD_FINISHED:
        if (self->endsPending(webkit_web_view_get_uri(self->m_view.get())))
            self->m_pending.reset();
        break;
    }
    if (self->onLoadChanged.empty())
        return;
    LoadStage stage = LoadStage::Started;
    switch (static_cast<WebKitLoadEvent>(event)) {
    case WEBKIT_LOAD_STARTED:
        stage = LoadStage::Started;
        break;
    case WEBKIT_LOAD_REDIRECTED:
        stage = LoadStage::Redirected;
        break;
    case WEBKIT_LOAD_COMMITTED:
        stage = LoadStage::Committed;
        break;
    case WEBKIT_LOAD_FINISHED:
        stage = LoadStage::Finished;
        break;
    }
    self->onLoadChanged(stage, self->uri());
}

int WebView::onLoadFailedSignal(WebKitWebView*, int, const char* uri, void* errorPointer, WebView* self)
{
    auto* error = static_cast<GError*>(errorPointer);
    // Failed, cancelled or turned into a download: over either way.
    if (self->endsPending(uri))
        self->m_pending.reset();
    std::string address = uri ? uri : "";
    // A response turned into a download ends the page load this way; it is no failure.
    if (g_error_matches(
            error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE)) {
        if (self->onLoadEndedWithoutPage)
            self->onLoadEndedWithoutPage(address, LoadEnd::BecameDownload);
        return FALSE;
    }
    bool stopped = g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED);
    if (self->onLoadEndedWithoutPage)
        self->onLoadEndedWithoutPage(address, stopped ? LoadEnd::Stopped : LoadEnd::Failed);
    if (self->onLoadFailed)
        self->onLoadFailed(address, error && error->message ? error->message : "");
    // A stopped load shows nothing; any other failure shows our page in place
    // of the engine's one bare line. This handler ends the signal, so every
    // listener hears of the failure through the hooks above.
    if (!uri || !error || stopped
        || g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD))
        return FALSE;
    self->m_failedUri = uri;
    webkit_web_view_load_alternate_html(self->m_view.get(), errorPageHtml(uri, error).c_str(), uri, nullptr);
    return TRUE;
}

int WebView::onDecidePolicy(WebKitWebView*, void* decisionPointer, int type, WebView* self)
{
    auto* decision = static_cast<WebKitPolicyDecision*>(decisionPointer);
    auto policyType = static_cast<WebKitPolicyDecisionType>(type);
    if (policyType == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
        // The error page's Try Again: the host loads the failed address again,
        // which a page may not do for every kind of address.
        if (uri && std::string_view(uri) == errorPageRetryUri) {
            webkit_policy_decision_ignore(decision);
            if (!self->m_failedUri.empty())
                self->load(std::exchange(self->m_failedUri, {}));
            return TRUE;
        }
        if (self->isPending(uri) && self->m_pending->stopped) {
            self->m_pending.reset();
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        if (self->isPending(uri)) {
            // The page's process took it: whatever it does from here is no
            // longer a page that does not answer.
            self->m_pending->underWay = true;
            self->m_unresponsiveBar->hide();
        }
    }
    // A new window is asked for by itself when the engine creates it
    // (below), which window.open does without a decision here.
    if (self->onNavigationRequest && policyType == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
        if (!self->onNavigationRequest(uri ? uri : "", false)) {
            // A refused navigation never starts a load.
            if (self->isPending(uri))
                self->m_pending.reset();
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
    }
    switch (static_cast<WebKitPolicyDecisionType>(type)) {
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
        // Left alone, a response the view cannot show just fails to load.
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        WebKitURIResponse* answer = webkit_response_policy_decision_get_response(response);
        // An error answer says the server has no such file: its body is never
        // saved as the file, whatever type it claims. Shown instead, it ends
        // on the view's error page when the view cannot show it.
        if (webkit_uri_response_get_status_code(answer) >= 400) {
            webkit_policy_decision_use(decision);
            return TRUE;
        }
        if (!webkit_response_policy_decision_is_mime_type_supported(response) || isAttachment(answer)) {
            webkit_policy_decision_download(decision);
            return TRUE;
        }
        return FALSE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
        return FALSE;
    }
    return FALSE;
}

void WebView::onWebProcessTerminated(WebKitWebView*, int, WebView* self)
{
    // Whatever was under way went with the process.
    self->m_pending.reset();
    self->m_unresponsiveBar->hide();
}

void WebView::onResponsivenessChanged(WebKitWebView* view, void*, WebView* self)
{
    // The engine notices once it waits for an answer, as it does for a
    // navigation sent to the page's process. Only a navigation still waiting
    // for the process to take it asks; the bar goes once the page answers.
    if (webkit_web_view_get_is_web_process_responsive(view)) {
        self->m_unresponsiveBar->hide();
        return;
    }
    if (self->m_pending && !self->m_pending->stopped && !self->m_pending->underWay)
        self->askAboutUnresponsivePage();
}

void WebView::onHistoryChanged(void* list, void*, void*, WebView* self)
{
    auto* history = static_cast<WebKitBackForwardList*>(list);
    if (self->m_pending && self->m_pending->historyItem
        && webkit_back_forward_list_get_current_item(history) == self->m_pending->historyItem)
        self->m_pending.reset();
    if (self->onBackForwardChanged)
        self->onBackForwardChanged(webkit_web_view_can_go_back(self->m_view.get()) != FALSE,
            webkit_web_view_can_go_forward(self->m_view.get()) != FALSE);
}

void WebView::onTitleSignal(WebKitWebView*, void*, WebView* self)
{
    if (self->onTitleChanged)
        self->onTitleChanged(self->title());
}

void WebView::onProgressSignal(WebKitWebView* view, void*, WebView* self)
{
    if (self->onProgressChanged)
        self->onProgressChanged(webkit_web_view_get_estimated_load_progress(view));
}

void WebView::onMouseTarget(WebKitWebView*, void* hitPointer, unsigned, WebView* self)
{
    auto* hit = static_cast<WebKitHitTestResult*>(hitPointer);
    const char* link
        = webkit_hit_test_result_context_is_link(hit) ? webkit_hit_test_result_get_link_uri(hit) : nullptr;
    if (self->onLinkHovered)
        self->onLinkHovered(link ? link : "");
}

void WebView::onCloseSignal(WebKitWebView*, WebView* self)
{
    if (self->onCloseRequested)
        self->onCloseRequested();
}

int WebView::onEnterFullScreen(WebKitWebView*, WebView* self)
{
    if (self->onFullScreenEntered)
        self->onFullScreenEntered();
    return FALSE;
}

void WebView::onDownloadStartedSignal(WebKitWebContext*, void* downloadPointer, WebView* self)
{
    auto* download = static_cast<WebKitDownload*>(downloadPointer);
    if (self->onDownloadStarted && webkit_download_get_web_view(download) == self->m_view.get())
        self->onDownloadStarted();
}

GtkWidget* WebView::onCreate(WebKitWebView*, void* actionPointer, WebView* self)
{
    auto* action = static_cast<WebKitNavigationAction*>(actionPointer);
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    self->openNewWindow(uri ? uri : "");
    // No view of ours: the page's window.open() answers null.
    return nullptr;
}

void WebView::openNewWindow(const std::string& uri)
{
    if (onNavigationRequest && !onNavigationRequest(uri, true))
        return;
    // A window opened empty would be written into by its opener, which
    // another program's window cannot be.
    if (uri.empty() || uri == "about:blank")
        return;
    if (shellOpen(uri) == ShellResult::Opened)
        return;
    // Told once the engine has its answer: the page waits for it meanwhile.
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer data) -> gboolean {
            std::unique_ptr<std::string> address(static_cast<std::string*>(data));
            BoxRequest box;
            box.text = "The page opens a new window, and no web browser of this desktop could show it:|"
                + *address;
            box.caption = "New Window";
            box.icon = BoxIcon::Exclamation;
            messageBoxes().show(box);
            return G_SOURCE_REMOVE;
        },
        new std::string(uri), nullptr);
}

int WebView::onContextMenu(WebKitWebView* view, void* menuPointer, void*, void* hitPointer, WebView*)
{
    // The "in New Window" entries open their address in the desktop's web
    // browser: offered only when the desktop has a program for it. A frame's
    // own address is not told here; its page's stands in for it.
    auto* menu = static_cast<WebKitContextMenu*>(menuPointer);
    auto* hit = static_cast<WebKitHitTestResult*>(hitPointer);
    auto opensElsewhere = [](const char* uri) { return uri && hasDefaultApplication(uri); };
    GHandle<GList, g_list_free> items(g_list_copy(webkit_context_menu_get_items(menu)));
    for (GList* entry = items.get(); entry; entry = entry->next) {
        auto* item = static_cast<WebKitContextMenuItem*>(entry->data);
        bool works = true;
        switch (webkit_context_menu_item_get_stock_action(item)) {
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW:
            works = opensElsewhere(webkit_hit_test_result_get_link_uri(hit));
            break;
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_IMAGE_IN_NEW_WINDOW:
            works = opensElsewhere(webkit_hit_test_result_get_image_uri(hit));
            break;
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_VIDEO_IN_NEW_WINDOW:
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_AUDIO_IN_NEW_WINDOW:
            works = opensElsewhere(webkit_hit_test_result_get_media_uri(hit));
            break;
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_FRAME_IN_NEW_WINDOW:
            works = opensElsewhere(webkit_web_view_get_uri(view));
            break;
        default:
            break;
        }
        if (!works)
            webkit_context_menu_remove(menu, item);
    }
    return FALSE;
}

int WebView::onKeyPress(GtkWidget*, void* eventPointer, WebView* self)
{
    auto* event = static_cast<GdkEventKey*>(eventPointer);
    const auto modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    std::optional<HistoryStep> step;
    if (modifiers == GDK_MOD1_MASK && event->keyval == GDK_KEY_Left)
        step = HistoryStep::Back;
    else if (modifiers == GDK_MOD1_MASK && event->keyval == GDK_KEY_Right)
        step = HistoryStep::Forward;
    else if (modifiers == 0 && event->keyval == GDK_KEY_Back)
        step = HistoryStep::Back;
    else if (modifiers == 0 && event->keyval == GDK_KEY_Forward)
        step = HistoryStep::Forward;
    if (!step)
        return FALSE;
    self->historyStepAsked(*step);
    return TRUE;
}

int WebView::onButtonPress(GtkWidget*, void* eventPointer, WebView* self)
{
    // The side buttons of a mouse, as X numbers them.
    constexpr unsigned backButton = 8;
    constexpr unsigned forwardButton = 9;
    auto* event = static_cast<GdkEventButton*>(eventPointer);
    if (event->button != backButton && event->button != forwardButton)
        return FALSE;
    // A quick second press also comes as a double press: one step per press.
    if (event->type == GDK_BUTTON_PRESS)
        self->historyStepAsked(event->button == backButton ? HistoryStep::Back : HistoryStep::Forward);
    return TRUE;
}

void WebView::historyStepAsked(HistoryStep step)
{
    if (onHistoryStepAsked)
        onHistoryStepAsked(step);
    else if (step == HistoryStep::Back)
        goBack();
    else
        goForward();
}

void WebView::onFoundText(void*, unsigned matches, WebView* self)
{
    if (self->onFindResult)
        self->onFindResult(matches);
}

void WebView::onFailedToFindText(void*, WebView* self)
{
    if (self->onFindResult)
        self->onFindResult(0);
}

} // namespace tvrn2

#include "platform/webkit/DownloadController.h"

#include "platform/FixedText.h"
#include "platform/GObjectPtr.h"
#include "platform/UserPaths.h"

#include <algorithm>
#include <system_error>
#include <utility>
#include <webkit2/webkit2.h>

namespace tvrn2 {

struct DownloadController::Download : std::enable_shared_from_this<Download> {
    enum class State { Waiting, Asking, Saving, Finished, Failed, Cancelled };

    DownloadController* owner { nullptr };
    GObjectPtr<WebKitDownload> download;
    std::string uri;
    std::string fileName;
    std::filesystem::path target;
    State state { State::Waiting };
    bool createdDestination { false };
    std::vector<gulong> handlers;
    // The latest state to show, kept while another download holds the display.
    std::function<void()> latest;
    bool latestSeen { true };
    // Watches a saved file, so the display never says it is there once it is gone.
    GObjectPtr<GFileMonitor> monitor;

    ~Download()
    {
        if (monitor) {
            g_signal_handlers_disconnect_by_data(monitor.get(), this);
            g_file_monitor_cancel(monitor.get());
        }
    }

    bool done() const
    {
        return state == State::Finished || state == State::Failed || state == State::Cancelled;
    }

    // The engine answers each cancel it is asked for, mostly later, and an
    // answer after the first finds its side of the download gone and crashes
    // the program: a download is cancelled once, however many ways it is
    // stopped before the answer comes (a stop, then the close of its view).
    void cancel()
    {
        if (std::exchange(cancelAsked, true))
            return;
        webkit_download_cancel(download.get());
    }

private:
    bool cancelAsked { false };
};

namespace {

std::optional<std::uint64_t> contentLength(WebKitDownload* download)
{
    WebKitURIResponse* response = webkit_download_get_response(download);
    guint64 length = response ? webkit_uri_response_get_content_length(response) : 0;
    if (length == 0)
        return std::nullopt;
    return length;
}

std::filesystem::path pathOfDestination(const char* destination)
{
    if (!destination)
        return {};
    if (g_str_has_prefix(destination, "file:")) {
        GCharPtr path(g_filename_from_uri(destination, nullptr, nullptr));
        return path ? std::filesystem::path(path.get()) : std::filesystem::path();
    }
    return destination;
}

} // namespace

DownloadController::DownloadController(
    WebKitWebView* view, WebKitWebContext* context, DownloadDisplay& display, FolderSource folder)
    : m_view(view)
    , m_context(context)
    , m_display(display)
    , m_folder(std::move(folder))
{
    m_startedHandler = g_signal_connect(context, "download-started", G_CALLBACK(onDownloadStarted), this);
}

DownloadController::~DownloadController()
{
    if (g_signal_handler_is_connected(m_context, m_startedHandler))
        g_signal_handler_disconnect(m_context, m_startedHandler);
    for (auto& download : m_downloads) {
        for (gulong handler : download->handlers) {
            if (g_signal_handler_is_connected(download->download.get(), handler))
                g_signal_handler_disconnect(download->download.get(), handler);
        }
        // WebKit removes both names of a cancelled download itself.
        if (!download->done())
            download->cancel();
    }
}

void DownloadController::stopShown()
{
    auto shown = m_shown.lock();
    if (shown && shown->state == Download::State::Saving)
        shown->cancel();
}

void DownloadController::cancelAll()
{
    // Copy first: a cancel may end its download at once, "failed" and "finished" included.
    auto downloads = m_downloads;
    for (auto& download : downloads) {
        if (!download->done())
            download->cancel();
    }
}

std::size_t DownloadController::running() const
{
    return std::count_if(m_downloads.begin(), m_downloads.end(), [](const auto& d) { return !d->done(); });
}

std::size_t DownloadController::saving() const
{
    return std::count_if(m_downloads.begin(), m_downloads.end(),
        [](const auto& d) { return d->state == Download::State::Saving; });
}

bool DownloadController::busyWith(const std::filesystem::path& file) const
{
    for (const auto& download : m_downloads) {
        if (download->done())
            continue;
        // The name comes only when the engine asks where to save.
        if (download->state == Download::State::Waiting)
            return true;
        if (download->fileName != file.filename().string())
            continue;
        // A question still queued has no folder yet: it will be the one asked then.
        const auto target = download->target.empty() ? m_folder() / download->fileName : download->target;
        if (samePath(target, file))
            return true;
    }
    return false;
}

std::string DownloadController::safeFileName(std::string_view suggested)
{
    auto slash = suggested.find_last_of("/\\");
    if (slash != std::string_view::npos)
        suggested = suggested.substr(slash + 1);
    // No hidden files and no "." or ".." from a server's say-so.
    while (!suggested.empty() && (suggested.front() == '.' || suggested.front() == ' '))
        suggested.remove_prefix(1);
    while (!suggested.empty() && suggested.back() == ' ')
        suggested.remove_suffix(1);
    std::string name;
    for (char c : suggested)
        name.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '_' : c);
    // The engine writes into NAME.wkdownload until the end, so that name too
    // must fit the file system's 255 bytes. A longer name gives up the end of
    // its stem, at a whole character, and keeps its extension.
    constexpr std::size_t limit = 255 - std::string_view(".wkdownload").size();
    if (name.size() > limit) {
        const auto dot = name.rfind('.');
        const bool hasExtension = dot != std::string::npos && dot > 0 && name.size() - dot <= 16;
        const std::string extension = hasExtension ? name.substr(dot) : std::string();
        const std::string_view stem = std::string_view(name).substr(0, hasExtension ? dot : name.size());
        name = std::string(cutAtCharacter(stem, limit - extension.size())) + extension;
    }
    return name.empty() ? "download" : name;
}

void DownloadController::onDownloadStarted(
    WebKitWebContext*, WebKitDownload* webkitDownload, DownloadController* self)
{
    WebKitWebView* owner = webkit_download_get_web_view(webkitDownload);
    if (owner && owner != self->m_view)
        return;
    auto download = std::make_shared<Download>();
    download->owner = self;
    download->download = GObjectPtr<WebKitDownload>::ref(webkitDownload);
    if (WebKitURIRequest* request = webkit_download_get_request(webkitDownload))
        download->uri = webkit_uri_request_get_uri(request);
    // One download of an address at a time: a second click on the same link
    // while the first download asks or runs would otherwise start another,
    // whose question waits unseen behind the first one's.
    const auto same = std::find_if(self->m_downloads.begin(), self->m_downloads.end(),
        [&](const auto& other) { return !other->done() && other->uri == download->uri; });
    std::optional<std::string> refusedName;
    if (same != self->m_downloads.end())
        refusedName = (*same)->fileName.empty() ? download->uri : (*same)->fileName;
    Download* raw = download.get();
    download->handlers = {
        g_signal_connect(webkitDownload, "decide-destination", G_CALLBACK(onDecideDestination), raw),
        g_signal_connect(webkitDownload, "created-destination", G_CALLBACK(onCreatedDestination), raw),
        g_signal_connect(webkitDownload, "received-data", G_CALLBACK(onReceivedData), raw),
        g_signal_connect(webkitDownload, "failed", G_CALLBACK(onFailed), raw),
        g_signal_connect(webkitDownload, "finished", G_CALLBACK(onFinished), raw),
    };
    self->m_downloads.push_back(std::move(download));
    self->emit(DownloadEvent::Kind::Started, *raw);
    if (refusedName) {
        raw->state = Download::State::Cancelled;
        raw->cancel();
        self->m_display.showRefused(*refusedName);
    }
}

int DownloadController::onDecideDestination(WebKitDownload*, const char* suggested, Download* download)
{
    auto& self = *download->owner;
    if (download->done())
        return TRUE;
    download->fileName = safeFileName(suggested ? suggested : "");
    download->state = Download::State::Asking;
    std::weak_ptr<Download> weak = download->weak_from_this();
    self.ask([&self, weak] {
        auto download = weak.lock();
        if (!download || download->done()) {
            self.questionAnswered(self.m_question);
            return;
        }
        DownloadOffer offer { download->fileName, self.m_folder(), download->uri,
            contentLength(download->download.get()) };
        if (!offer.folder.is_absolute()) {
            // No folder set: a relative one would land wherever the program
            // happens to run, and the engine takes none.
            self.fail(*download, "no download folder is set");
            download->cancel();
            self.questionAnswered(self.m_question);
            return;
        }
        download->target = offer.folder / download->fileName;
        self.m_asked = self.m_shown = weak;
        // Downloads die only with their controller: a lost one means no controller to tell.
        self.m_display.askSave(offer, [&self, weak, number = self.m_question](SaveAnswer answer) {
            if (auto download = weak.lock()) {
                self.answerSave(*download, answer);
                self.questionAnswered(number);
            }
        });
    });
    // The download waits until a destination is set or it is cancelled.
    return TRUE;
}

void DownloadController::ask(std::function<void()> question)
{
    m_questions.push_back(std::move(question));
    if (m_questionOpen)
        return;
    m_questionOpen = true;
    auto next = std::move(m_questions.front());
    m_questions.pop_front();
    ++m_question;
    next();
}

void DownloadController::questionAnswered(std::uint64_t number)
{
    // A question withdrawn before its answer came is over already.
    if (!m_questionOpen || number != m_question)
        return;
    m_asked.reset();
    if (m_questions.empty()) {
        m_questionOpen = false;
        presentWaiting();
        return;
    }
    auto next = std::move(m_questions.front());
    m_questions.pop_front();
    ++m_question;
    next();
}

void DownloadController::answerSave(Download& download, SaveAnswer answer)
{
    if (download.done())
        return;
    if (answer == SaveAnswer::Cancel) {
        download.state = Download::State::Cancelled;
        download.cancel();
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(download.target.parent_path(), error);
    if (error) {
        fail(download,
            "the folder " + download.target.parent_path().string()
                + " cannot be created: " + error.message());
        download.cancel();
        return;
    }
    if (!std::filesystem::exists(download.target, error)) {
        startSaving(download, Overwrite::Refused);
        return;
    }
    // Already inside a question: this one follows at once, before any other.
    DownloadOffer offer { download.fileName, download.target.parent_path(), download.uri,
        contentLength(download.download.get()) };
    std::weak_ptr<Download> weak = download.weak_from_this();
    m_questions.push_front([this, weak, offer] {
        m_asked = m_shown = weak;
        m_display.askReplace(offer, [this, weak, number = m_question](ReplaceAnswer answer) {
            if (auto download = weak.lock()) {
                answerReplace(*download, answer);
                questionAnswered(number);
            }
        });
    });
}

void DownloadController::answerReplace(Download& download, ReplaceAnswer answer)
{
    if (download.done())
        return;
    if (answer == ReplaceAnswer::Keep) {
        download.state = Download::State::Cancelled;
        download.cancel();
        return;
    }
    startSaving(download, Overwrite::Allowed);
}

void DownloadController::startSaving(Download& download, Overwrite overwrite)
{
    download.state = Download::State::Saving;
    webkit_download_set_allow_overwrite(download.download.get(), overwrite == Overwrite::Allowed);
    webkit_download_set_destination(download.download.get(), download.target.c_str());
    emit(DownloadEvent::Kind::Saving, download);
    DownloadProgress progress { download.fileName, 0, contentLength(download.download.get()), 0 };
    present(download, [this, progress] { m_display.showProgress(progress); });
}

bool DownloadController::mayShow(const Download& download) const
{
    if (auto asked = m_asked.lock(); asked && asked.get() != &download)
        return false;
    if (auto shown = m_shown.lock(); shown && shown.get() != &download && !shown->done())
        return false;
    return true;
}

void DownloadController::present(Download& download, std::function<void()> show)
{
    download.latest = std::move(show);
    download.latestSeen = false;
    if (!mayShow(download))
        return;
    m_shown = download.weak_from_this();
    download.latestSeen = true;
    download.latest();
}

void DownloadController::presentWaiting()
{
    if (m_questionOpen)
        return;
    if (auto shown = m_shown.lock(); shown && !shown->done())
        return;
    // A transfer still running first, else the latest end nobody has seen.
    Download* next = nullptr;
    for (auto& download : m_downloads) {
        if (!download->done() && download->latest)
            next = download.get();
    }
    if (!next) {
        for (auto& download : m_downloads) {
            if (download->done() && download->latest && !download->latestSeen)
                next = download.get();
        }
    }
    if (!next)
        return;
    m_shown = next->weak_from_this();
    next->latestSeen = true;
    next->latest();
}

void DownloadController::onCreatedDestination(WebKitDownload*, const char* destination, Download* download)
{
    // From here on WebKit owns the final name and a failure must not leave it behind.
    download->createdDestination = true;
    auto path = pathOfDestination(destination);
    if (!path.empty())
        download->target = path;
}

void DownloadController::onReceivedData(
    WebKitDownload* webkitDownload, unsigned long long, Download* download)
{
    if (download->done())
        return;
    DownloadProgress progress;
    progress.fileName = download->fileName;
    progress.receivedBytes = webkit_download_get_received_data_length(webkitDownload);
    progress.totalBytes = contentLength(webkitDownload);
    double elapsed = webkit_download_get_elapsed_time(webkitDownload);
    progress.bytesPerSecond = elapsed > 0 ? static_cast<double>(progress.receivedBytes) / elapsed : 0;
    auto& self = *download->owner;
    self.present(*download, [&self, progress] { self.m_display.showProgress(progress); });
}

void DownloadController::onFailed(WebKitDownload*, void* errorPointer, Download* download)
{
    auto* error = static_cast<GError*>(errorPointer);
    auto& self = *download->owner;
    if (download->done())
        return;
    if (error && g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER)) {
        // "finished" follows and reports it.
        download->state = Download::State::Cancelled;
        return;
    }
    self.fail(*download, error && error->message ? error->message : "unknown error");
}

void DownloadController::onFinished(WebKitDownload*, Download* download)
{
    auto& self = *download->owner;
    if (download->state == Download::State::Cancelled) {
        self.removePartialFiles(*download);
        self.withdraw(*download);
        self.emit(DownloadEvent::Kind::Cancelled, *download);
        return;
    }
    if (download->done())
        return;
    std::error_code error;
    if (!std::filesystem::is_regular_file(download->target, error)) {
        self.fail(*download, "the file did not arrive under its name");
        return;
    }
    download->state = Download::State::Finished;
    const auto target = download->target;
    self.present(*download, [&self, target] { self.m_display.showFinished(target); });
    self.watchSavedFile(*download);
    self.emit(DownloadEvent::Kind::Finished, *download);
}

void DownloadController::fail(Download& download, const std::string& reason)
{
    download.state = Download::State::Failed;
    removePartialFiles(download);
    withdrawQuestion(download);
    present(download, [this, name = download.fileName, reason] { m_display.showFailed(name, reason); });
    emit(DownloadEvent::Kind::Failed, download, reason);
}

void DownloadController::watchSavedFile(Download& download)
{
    auto file = GObjectPtr<GFile>::adopt(g_file_new_for_path(download.target.c_str()));
    download.monitor = GObjectPtr<GFileMonitor>::adopt(
        g_file_monitor_file(file.get(), G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr));
    if (!download.monitor)
        return;
    g_signal_connect(download.monitor.get(), "changed",
        G_CALLBACK(+[](GFileMonitor*, GFile*, GFile*, GFileMonitorEvent event, Download* download) {
            if (event != G_FILE_MONITOR_EVENT_DELETED && event != G_FILE_MONITOR_EVENT_MOVED_OUT
                && event != G_FILE_MONITOR_EVENT_RENAMED)
                return;
            auto& self = *download->owner;
            // Only what the display says now matters: a file it no longer
            // speaks of may go as it likes.
            std::error_code ignored;
            if (self.m_shown.lock().get() != download || std::filesystem::exists(download->target, ignored))
                return;
            const auto target = download->target;
            self.present(*download, [&self, target] { self.m_display.showRemoved(target); });
        }),
        &download);
}

bool DownloadController::withdrawQuestion(Download& download)
{
    if (m_asked.lock().get() != &download)
        return false;
    // A question about a download that has ended is withdrawn unanswered,
    // and the next one may come.
    m_shown.reset();
    m_display.dismiss();
    questionAnswered(m_question);
    return true;
}

void DownloadController::withdraw(Download& download)
{
    download.latest = nullptr;
    if (withdrawQuestion(download) || m_shown.lock().get() != &download)
        return;
    m_shown.reset();
    m_display.dismiss();
    presentWaiting();
}

void DownloadController::removePartialFiles(const Download& download)
{
    // Only what WebKit created for this download: a name the user kept is not ours.
    if (!download.createdDestination || download.target.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove(download.target, ignored);
    std::filesystem::remove(download.target.string() + ".wkdownload", ignored);
}

void DownloadController::emit(DownloadEvent::Kind kind, const Download& download, std::string message)
{
    if (onEvent)
        onEvent({ kind, download.uri, download.target, std::move(message) });
}

} // namespace tvrn2

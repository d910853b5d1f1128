#pragma once

#include "platform/webkit/DownloadDisplay.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitDownload WebKitDownload;

namespace tvrn2 {

struct DownloadEvent {
    enum class Kind { Started, Saving, Finished, Failed, Cancelled };

    Kind kind { Kind::Started };
    std::string uri;
    std::filesystem::path file; // the final name, once chosen
    std::string message; // why it failed

    friend bool operator==(const DownloadEvent&, const DownloadEvent&) = default;
};

// Runs the downloads of one web view: asks where and whether to save through
// the display, saves under the file's own name in the folder the host names
// at the time of each download, reports progress, and makes sure a download
// that does not complete leaves nothing under its final name.
//
// WebKit creates the final name as an empty file at once, writes into
// NAME.wkdownload and renames that over NAME when the transfer completes.
class DownloadController {
public:
    using FolderSource = std::function<std::filesystem::path()>;

    DownloadController(
        WebKitWebView* view, WebKitWebContext* context, DownloadDisplay& display, FolderSource folder);
    ~DownloadController();
    DownloadController(const DownloadController&) = delete;
    DownloadController& operator=(const DownloadController&) = delete;

    // Stops every download still asking or running.
    void cancelAll();
    // Stops the download whose transfer the display shows, and no other.
    void stopShown();
    std::size_t running() const;
    // Downloads whose bytes are being written: what closing would lose.
    std::size_t saving() const;
    // Whether a download that has not ended is being asked about or saved
    // under this file's name, or has not yet said what its name will be.
    bool busyWith(const std::filesystem::path& file) const;

    std::function<void(const DownloadEvent&)> onEvent;

    // The server's suggested name made safe as one file name in the folder.
    static std::string safeFileName(std::string_view suggested);

private:
    struct Download;

    static void onDownloadStarted(WebKitWebContext*, WebKitDownload*, DownloadController* self);
    static int onDecideDestination(WebKitDownload*, const char* suggested, Download* download);
    static void onCreatedDestination(WebKitDownload*, const char* destination, Download* download);
    static void onReceivedData(WebKitDownload*, unsigned long long length, Download* download);
    static void onFailed(WebKitDownload*, void* error, Download* download);
    static void onFinished(WebKitDownload*, Download* download);

    void ask(std::function<void()> question);
    void questionAnswered(std::uint64_t number);
    // Takes an ended download off the display; true when its question was open.
    bool withdrawQuestion(Download& download);
    void withdraw(Download& download);
    void watchSavedFile(Download& download);
    // Shows a download's state unless the display is taken, by a question
    // about another download or by another one still running; what could
    // not be shown is shown once the display is free.
    void present(Download& download, std::function<void()> show);
    bool mayShow(const Download& download) const;
    void presentWaiting();
    void answerSave(Download& download, SaveAnswer answer);
    void answerReplace(Download& download, ReplaceAnswer answer);
    // Whether saving may replace a file already at the target.
    enum class Overwrite { Refused, Allowed };
    void startSaving(Download& download, Overwrite overwrite);
    void fail(Download& download, const std::string& reason);
    void removePartialFiles(const Download& download);
    void emit(DownloadEvent::Kind kind, const Download& download, std::string message = {});

    WebKitWebView* m_view; // not owned
    WebKitWebContext* m_context; // not owned
    DownloadDisplay& m_display;
    FolderSource m_folder;
    unsigned long m_startedHandler { 0 };
    std::vector<std::shared_ptr<Download>> m_downloads;
    std::deque<std::function<void()>> m_questions;
    bool m_questionOpen { false };
    std::uint64_t m_question { 0 }; // the number of the question asked last
    std::weak_ptr<Download> m_asked; // whose question is open
    std::weak_ptr<Download> m_shown; // whose state the display shows
};

} // namespace tvrn2

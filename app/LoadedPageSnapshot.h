#pragma once

#include "platform/EventLoop.h"
#include "platform/GObjectPtr.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

typedef struct _GdkPixbuf GdkPixbuf;

namespace tvrn2 {

class FeBrowser;
class MainWindow;
class WebView;

// Takes a picture of the main window once the page it opens with has been
// shown (the page itself, or the browser's error page when the page cannot
// be reached) and then closes the window through its close event, as the
// Cancel button does. Lets a build be looked at where no one sits at the screen.
class LoadedPageSnapshot {
public:
    // The picture is taken after `patience` even if the page has not been shown.
    LoadedPageSnapshot(MainWindow& window, std::filesystem::path file,
        std::chrono::milliseconds patience = std::chrono::seconds(60));
    ~LoadedPageSnapshot();
    LoadedPageSnapshot(const LoadedPageSnapshot&) = delete;
    LoadedPageSnapshot& operator=(const LoadedPageSnapshot&) = delete;

    enum class Outcome { Waiting, Saved, SavedBeforeLoad, Failed };
    Outcome outcome() const { return m_outcome; }
    // Why the picture could not be saved.
    const std::string& error() const { return m_error; }

private:
    void watch(FeBrowser& browser);
    void pageShown();
    void pagePainted();
    void compare();
    void take(GdkPixbuf* picture);
    void stopTimers();

    MainWindow& m_window;
    std::filesystem::path m_file;
    WebView* m_view { nullptr };
    std::uint64_t m_loadListener { 0 };
    bool m_committed { false };
    bool m_shown { false };
    Outcome m_outcome { Outcome::Waiting };
    std::string m_error;
    GObjectPtr<GdkPixbuf> m_last;
    EventLoop::TimerId m_patience { 0 };
    EventLoop::TimerId m_settle { 0 };
    // Lets a paint notice that arrives after this object has gone find out.
    std::shared_ptr<bool> m_alive { std::make_shared<bool>(true) };
};

} // namespace tvrn2

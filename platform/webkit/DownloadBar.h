#pragma once

#include "platform/gtk/OwnedWidget.h"
#include "platform/webkit/DownloadDisplay.h"

#include <functional>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace tvrn2 {

// A text in a bar over or under the page (a long file name from a server, a
// long error, a page's title) breaks wherever it must and takes at most three
// lines, the rest in the tooltip: the bar never widens the window or pushes
// its buttons off the screen.
void fitToBar(GtkWidget* label);

// The web view's own download display: a bar stacked under the page with the
// question or the progress of the current download and its buttons.
class DownloadBar final : public DownloadDisplay {
public:
    enum class Button { Save = 1, Cancel, Replace, Keep, Stop, Close };

    DownloadBar();
    ~DownloadBar();
    DownloadBar(const DownloadBar&) = delete;
    DownloadBar& operator=(const DownloadBar&) = delete;

    // Owned by this object; the web view packs it under the page.
    GtkWidget* widget() const { return m_revealer.get(); }

    void askSave(const DownloadOffer& offer, std::function<void(SaveAnswer)> answer) override;
    void askReplace(const DownloadOffer& offer, std::function<void(ReplaceAnswer)> answer) override;
    void showProgress(const DownloadProgress& progress) override;
    void showFinished(const std::filesystem::path& file) override;
    void showRemoved(const std::filesystem::path& file) override;
    void showFailed(const std::string& fileName, const std::string& reason) override;
    void showRefused(const std::string& fileName) override;
    void dismiss() override;

    // What a user sees and can press, and pressing it.
    bool shown() const;
    std::string text() const;
    // The line under the text about a download that was not started; empty when none.
    std::string note() const;
    std::vector<Button> buttons() const;
    void press(Button button);

    // "Stop" during a transfer.
    std::function<void()> onStop;

    static std::string progressText(const DownloadProgress& progress);

private:
    static void onResponse(GtkWidget* bar, int response, DownloadBar* self);
    void show(const std::string& text, int messageType, std::vector<Button> buttons, bool progress);

    // One reference each held here besides their parents'; the top one is
    // destroyed with this object.
    OwnedWidget m_revealer;
    GObjectPtr<GtkWidget> m_bar;
    GObjectPtr<GtkWidget> m_label;
    GObjectPtr<GtkWidget> m_note;
    GObjectPtr<GtkWidget> m_progress;
    std::vector<std::pair<Button, GObjectPtr<GtkWidget>>> m_buttons;
    std::function<void(SaveAnswer)> m_saveAnswer;
    std::function<void(ReplaceAnswer)> m_replaceAnswer;
};

} // namespace tvrn2

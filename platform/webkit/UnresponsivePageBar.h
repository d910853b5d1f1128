#pragma once

#include "platform/gtk/OwnedWidget.h"

#include <functional>
#include <string>

typedef struct _GtkWidget GtkWidget;

namespace tvrn2 {

// The web view's question about a page whose web process does not answer: a
// bar over the top of the page with "End Page" and "Wait". It never holds
// anything up; whatever was asked of the page waits meanwhile, and the bar
// goes as soon as the page answers after all.
class UnresponsivePageBar {
public:
    enum class Answer { EndPage = 1, Wait };

    UnresponsivePageBar();
    ~UnresponsivePageBar();
    UnresponsivePageBar(const UnresponsivePageBar&) = delete;
    UnresponsivePageBar& operator=(const UnresponsivePageBar&) = delete;

    // Owned by this object; the web view lays it over the page.
    GtkWidget* widget() const { return m_revealer.get(); }

    // Names the page by its title, or by its address when it has none.
    void show(const std::string& page);
    void hide();

    // What a user sees and can press, and pressing it (the button itself).
    bool shown() const;
    std::string text() const;
    void press(Answer answer);

    std::function<void(Answer)> onAnswer;

private:
    static void onResponse(GtkWidget* bar, int response, UnresponsivePageBar* self);

    // One reference each held here besides their parents'; the top one is
    // destroyed with this object.
    OwnedWidget m_revealer;
    GObjectPtr<GtkWidget> m_bar;
    GObjectPtr<GtkWidget> m_label;
    GObjectPtr<GtkWidget> m_endPage;
    GObjectPtr<GtkWidget> m_wait;
};

} // namespace tvrn2

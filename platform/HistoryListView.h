#pragma once

#include "platform/MessageBox.h"
#include "platform/ScopedSlot.h"

#include <deque>
#include <string>
#include <vector>

namespace tvrn2 {

// One line of the error history list.
struct HistoryLine {
    std::string message;
    std::string category;
};

struct HistoryListRequest {
    std::string caption;
    BoxIcon icon { BoxIcon::Exclamation };
    int buttons { Button::Ok };
    int defaultButton { Button::Ok };
    // Oldest first; the newest (last) line is selected when the window opens.
    std::vector<HistoryLine> lines;
};

// Geometry of the history window in dialog units.
namespace HistoryWindowLayout {
inline constexpr const char* windowCaption = "Error";
inline constexpr const char* fontName = "MS Sans Serif";
inline constexpr int fontPoints = 8;
inline constexpr int width = 320, height = 96;
inline constexpr int iconX = 2, iconY = 4, iconWidth = 26, iconHeight = 28;
inline constexpr int listX = 32, listY = 4, listWidth = 286, listHeight = 71;
inline constexpr const char* messageColumn = "Message";
inline constexpr int messageColumnWidth = 217;
inline constexpr const char* categoryColumn = "Category";
inline constexpr int categoryColumnWidth = 42;
inline constexpr int buttonPlaces = 8;
inline constexpr int buttonX = 4, buttonStep = 40, buttonY = 80, buttonWidth = 36, buttonHeight = 14;
} // namespace HistoryWindowLayout

// A shown button of the history window.
struct HistoryButton {
    int place; // 0 = leftmost of the eight places
    int x;
    int value; // the Button:: bit, returned when pressed
    std::string caption;
    bool isDefault; // default button, gets the focus
};

// Which of the eight button places show which button: the requested buttons
// fill the places from the right, highest value first. Left to right order.
std::vector<HistoryButton> historyButtonLayout(int buttons, int defaultButton);

// The modal history window: shows the lines and returns the button pressed.
class HistoryListView {
public:
    virtual int show(const HistoryListRequest& request) = 0;

protected:
    ~HistoryListView() = default;
};

// The history window in use; headless until a window system installs its own.
HistoryListView& historyListView();
HistoryListView* setHistoryListView(HistoryListView* view);
using ScopedHistoryListView = ScopedSlot<HistoryListView, setHistoryListView>;

// Headless history window: records every request and answers from a script,
// else with the default button (or the lowest requested button without one).
class RecordingHistoryListView final : public HistoryListView {
public:
    int show(const HistoryListRequest& request) override;

    void answer(int button) { m_script.push_back(button); }
    const std::vector<HistoryListRequest>& shown() const { return m_shown; }
    void clear() { m_shown.clear(), m_script.clear(); }

private:
    std::vector<HistoryListRequest> m_shown;
    std::deque<int> m_script;
};

} // namespace tvrn2

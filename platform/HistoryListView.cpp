#include "platform/HistoryListView.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tvrn2 {
namespace {
RecordingHistoryListView headless;
HistoryListView* installed = nullptr;

// Highest value first: the order in which buttons take places from the right.
constexpr std::array<std::pair<int, const char*>, 8> captions { {
    { Button::Help, "&Help" },
    { Button::Cancel, "&Cancel" },
    { Button::Ignore, "&Ignore" },
    { Button::Retry, "&Retry" },
    { Button::Abort, "&Abort" },
    { Button::No, "&No" },
    { Button::Yes, "&Yes" },
    { Button::Ok, "O&k" },
} };
} // namespace

std::vector<HistoryButton> historyButtonLayout(int buttons, int defaultButton)
{
    std::vector<HistoryButton> shown;
    int place = HistoryWindowLayout::buttonPlaces;
    for (const auto& [value, caption] : captions) {
        if (!(buttons & value))
            continue;
        --place;
        shown.push_back({ place, HistoryWindowLayout::buttonX + place * HistoryWindowLayout::buttonStep,
            value, caption, value == defaultButton });
    }
    std::reverse(shown.begin(), shown.end());
    return shown;
}

HistoryListView& historyListView()
{
    return installed ? *installed : headless;
}

HistoryListView* setHistoryListView(HistoryListView* view)
{
    return std::exchange(installed, view);
}

int RecordingHistoryListView::show(const HistoryListRequest& request)
{
    m_shown.push_back(request);
    if (!m_script.empty()) {
        int answer = m_script.front();
        m_script.pop_front();
        return answer;
    }
    return unattendedAnswer(request.buttons, request.defaultButton);
}

} // namespace tvrn2

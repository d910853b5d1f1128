#include "platform/MessageBoxLayout.h"

#include <algorithm>

namespace tvrn2 {
namespace {
struct MaskButton {
    int value;
    const char* label;
};
constexpr MaskButton maskButtons[] = {
    { Button::Ok, "OK" },
    { Button::Yes, "&Yes" },
    { Button::No, "&No" },
    { Button::Abort, "&Abort" },
    { Button::Retry, "&Retry" },
    { Button::Ignore, "&Ignore" },
    { Button::Cancel, "Cancel" },
    { Button::Help, "&Help" },
};
} // namespace

std::vector<BoxChoice> boxChoices(const BoxRequest& request)
{
    std::vector<BoxChoice> choices;
    if (!request.customButtons.empty()) {
        std::string_view labels = request.customButtons;
        for (int value = 1;; ++value) {
            auto bar = labels.find('|');
            choices.push_back({ std::string(labels.substr(0, bar)), value });
            if (bar == std::string_view::npos)
                break;
            labels.remove_prefix(bar + 1);
        }
        return choices;
    }
    for (const auto& button : maskButtons) {
        if (request.buttons & button.value)
            choices.push_back({ button.label, button.value });
    }
    if (choices.empty())
        choices.push_back({ "OK", Button::Ok });
    return choices;
}

std::optional<int> boxCloseResult(const BoxRequest& request)
{
    auto choices = boxChoices(request);
    if (choices.size() == 1)
        return choices.front().value;
    if (request.customButtons.empty() && (request.buttons & Button::Cancel))
        return Button::Cancel;
    return std::nullopt;
}

int boxDefaultChoice(const BoxRequest& request)
{
    auto choices = boxChoices(request);
    bool offered = std::any_of(
        choices.begin(), choices.end(), [&](const BoxChoice& c) { return c.value == request.defaultButton; });
    return offered ? request.defaultButton : choices.front().value;
}

std::string boxText(std::string_view text)
{
    std::string result(text);
    std::replace(result.begin(), result.end(), '|', '\n');
    return result;
}

std::string mnemonicLabel(std::string_view label)
{
    std::string result;
    for (std::size_t i = 0; i < label.size(); ++i) {
        char c = label[i];
        if (c == '&') {
            if (i + 1 < label.size() && label[i + 1] == '&') {
                result.push_back('&');
                ++i;
            } else {
                result.push_back('_');
            }
        } else if (c == '_') {
            result += "__";
        } else {
            result.push_back(c);
        }
    }
    return result;
}

} // namespace tvrn2

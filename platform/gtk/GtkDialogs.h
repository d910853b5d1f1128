#pragma once

#include "platform/Dialogs.h"

namespace tvrn2 {

// The open-file and colour dialogs of GTK. While one is open, every window's
// events wait.
class GtkDialogs final : public Dialogs {
public:
    std::string openFile(const OpenFileRequest& request) override;
    std::optional<Colour> chooseColour(const ColourRequest& request) override;
};

} // namespace tvrn2

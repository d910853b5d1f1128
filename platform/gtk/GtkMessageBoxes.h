#pragma once

#include "platform/MessageBox.h"

namespace tvrn2 {

// Message boxes as GTK dialogs, modal over the active window. While one is
// open, every window's events wait.
class GtkMessageBoxes final : public MessageBoxes {
public:
    int show(const BoxRequest& request) override;
};

} // namespace tvrn2

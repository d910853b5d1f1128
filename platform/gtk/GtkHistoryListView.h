#pragma once

#include "platform/HistoryListView.h"

namespace tvrn2 {

// The error history window: an icon, the list of messages with their
// categories (newest selected), and the requested buttons along the bottom.
class GtkHistoryListView final : public HistoryListView {
public:
    int show(const HistoryListRequest& request) override;
};

} // namespace tvrn2

#pragma once

#include "WindowState.h"

#include <optional>

namespace tarnvue {

// How the main window's state-dependent commands stand in each state. A value
// left empty means "as before": that step leaves the item unchanged.
struct ToolRules {
    bool chartVisible = false;
    // Save, Save As, Close, the Export and Send To submenus, Print, Print Preview.
    bool fileCommandsEnabled = false;
    bool editMenuVisible = false;
    bool chartMenuVisible = false;
    bool periodMenuVisible = false;
    // The toolbar's Save, Customize and Print buttons.
    bool chartButtonsEnabled = false;
    // The toolbar's Refresh, MoreDetail and LessDetail buttons.
    std::optional<bool> nodeButtonsVisible;
    std::optional<bool> nodeButtonsEnabled;
    // The toolbar's Table button.
    std::optional<bool> tableButtonEnabled;
};

ToolRules toolRulesFor(WindowState state);

// Which detail commands the Chart menu offers for a bucket width of the
// ladder: its 1-based index there (0 when the width is not on it).
struct DetailCommands {
    bool moreDetail = false;
    bool lessDetail = false;
};
DetailCommands detailCommandsFor(int ladderIndex, int ladderCount);

} // namespace tarnvue

#include "ToolRules.h"

namespace tarnvue {

ToolRules toolRulesFor(WindowState state) {
    ToolRules rules;
    switch (state) {
    case WindowState::Empty:
        rules.nodeButtonsEnabled = false;
        rules.tableButtonEnabled = false;
        break;
    case WindowState::NodeChart:
        rules.chartVisible = true;
        rules.fileCommandsEnabled = true;
        rules.editMenuVisible = true;
        rules.chartMenuVisible = true;
        rules.periodMenuVisible = true;
        rules.chartButtonsEnabled = true;
        rules.nodeButtonsVisible = true;
        rules.nodeButtonsEnabled = true;
        rules.tableButtonEnabled = true;
        break;
    case WindowState::FileChart:
        // A chart file cannot be refreshed, re-aggregated or moved to
        // another period.
        rules.chartVisible = true;
        rules.fileCommandsEnabled = true;
        rules.editMenuVisible = true;
        rules.chartButtonsEnabled = true;
        rules.nodeButtonsVisible = false;
        break;
    }
    return rules;
}

DetailCommands detailCommandsFor(int ladderIndex, int ladderCount) {
    return {ladderIndex >= 2, ladderIndex < ladderCount};
}

} // namespace tarnvue

#pragma once

#include <QString>

namespace tarnvue::ComponentIds {

// The identifiers the outside components are created by.
QString exportEngine();
QString aboutDialog();
QString browser();

} // namespace tarnvue::ComponentIds

#pragma once

#include <QIcon>
#include <QString>

namespace tarnvue {

// The program's own icons, drawn as SVG files compiled into the program and
// rendered into pixmaps when first asked for, so they look the same wherever
// the program runs, with or without Qt's SVG icon engine plugin.
//
// The toolbar keys are "New", "Open", "Save", "Print", "Refresh", "Finer"
// and "Coarser" (more and less detail: narrower or wider buckets, not a
// zoom), "ZoomOut" (a magnifier), "Table", "Customize" and "Help"; "Tarnvue"
// is the program's own icon. Keys are case-sensitive: any other key gives a null icon.
//
// Both functions need a QGuiApplication and are for the GUI thread only.
QIcon toolbarIcon(const QString& key);

// The main window's icon (the "Tarnvue" icon), with sizes from 16 to 256 px.
QIcon windowIcon();

} // namespace tarnvue

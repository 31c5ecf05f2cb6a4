#pragma once

#include <QImage>
#include <QString>

class QPainter;
class QPagedPaintDevice;

namespace tarnvue {

// One printed page of an export: the title, the subtitle and the paragraph
// at the top, the picture scaled to the space left (keeping its shape), the
// footer at the bottom. Used for the printer, the print preview and PDF
// documents alike.
struct PrintedPage {
    QString title;
    QString subTitle;
    QString paragraph;
    QString footer;
    QImage image;

    // Draws the page on a paged device (printer or PDF writer) whose painter
    // is already active, inside the device's printable area.
    void paint(QPainter& painter, QPagedPaintDevice& device) const;
};

} // namespace tarnvue

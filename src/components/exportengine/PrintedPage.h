#pragma once

#include <QImage>
#include <QString>
#include <functional>

class QPainter;
class QPaintDevice;
class QRectF;

namespace tarnvue {

// One printed page of an export: the title, the subtitle and the paragraph
// at the top, the picture scaled to the space left (keeping its shape), the
// footer at the bottom. Used for the printer, the print preview and PDF
// documents alike. A drawing, when given, stands in for the picture and fills
// the whole space left (a chart lays itself out for it, in vectors).
struct PrintedPage {
    QString title;
    QString subTitle;
    QString paragraph;
    QString footer;
    QImage image;
    std::function<void(QPainter&, const QRectF&)> drawing;

    // Draws the page on a device (printer or PDF writer) whose painter is
    // already active, inside the device's printable area.
    void paint(QPainter& painter, QPaintDevice& device) const;
};

} // namespace tarnvue

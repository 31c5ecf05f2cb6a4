#include "PrintedPage.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>

namespace tarnvue {

namespace {

// Draws word-wrapped text at the top of the area, then takes its height off.
void takeText(QPainter& painter, QRectF& area, const QString& text, const QFont& font,
              Qt::Alignment alignment) {
    if (text.isEmpty())
        return;
    painter.setFont(font);
    const int flags = int(alignment) | Qt::TextWordWrap;
    const QRectF bounds = painter.boundingRect(area, flags, text);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), bounds.height()), flags, text);
    const qreal gap = QFontMetricsF(font, painter.device()).height() * 0.5;
    area.setTop(area.top() + bounds.height() + gap);
}

} // namespace

void PrintedPage::paint(QPainter& painter, QPaintDevice& device) const {
    const qreal dpi = device.logicalDpiY();
    QRectF area(0, 0, device.width(), device.height());
    // Leave a little air inside the printable area.
    area.adjust(dpi * 0.2, dpi * 0.2, -dpi * 0.2, -dpi * 0.2);
    painter.setPen(Qt::black);

    QFont titleFont(QStringLiteral("sans-serif"));
    titleFont.setPointSizeF(16);
    titleFont.setBold(true);
    QFont subTitleFont(QStringLiteral("sans-serif"));
    subTitleFont.setPointSizeF(12);
    QFont bodyFont(QStringLiteral("sans-serif"));
    bodyFont.setPointSizeF(10);
    QFont footerFont(QStringLiteral("sans-serif"));
    footerFont.setPointSizeF(8);

    takeText(painter, area, title, titleFont, Qt::AlignHCenter | Qt::AlignTop);
    takeText(painter, area, subTitle, subTitleFont, Qt::AlignHCenter | Qt::AlignTop);
    takeText(painter, area, paragraph, bodyFont, Qt::AlignLeft | Qt::AlignTop);

    if (!footer.isEmpty()) {
        painter.setFont(footerFont);
        const int flags = Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap;
        const QRectF bounds = painter.boundingRect(area, flags, footer);
        painter.drawText(area, flags, footer);
        area.setBottom(area.bottom() - bounds.height() -
                       QFontMetricsF(footerFont, painter.device()).height() * 0.5);
    }

    if (area.width() <= 0 || area.height() <= 0)
        return;
    if (drawing) {
        drawing(painter, area);
        return;
    }
    if (image.isNull())
        return;
    QSizeF size = QSizeF(image.size());
    size.scale(area.size(), Qt::KeepAspectRatio);
    const QRectF target(area.left() + (area.width() - size.width()) / 2, area.top(), size.width(),
                        size.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
}

} // namespace tarnvue

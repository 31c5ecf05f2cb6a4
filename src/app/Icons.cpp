#include "Icons.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The icons live in a resource file built into a static library, whose
// registration the linker would otherwise drop. Q_INIT_RESOURCE declares the
// registration function in the scope it is used in, so it has to be called
// from outside any namespace.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace tarnvue {

namespace {

// Each key with its file under ":/icons/".
struct IconFile {
    const char* key;
    const char* file;
};

constexpr IconFile IconFiles[] = {
    {"New", "new.svg"},         {"Open", "open.svg"},
    {"Save", "save.svg"},       {"Print", "print.svg"},
    {"Refresh", "refresh.svg"}, {"Finer", "finer.svg"},
    {"Coarser", "coarser.svg"}, {"ZoomOut", "zoomout.svg"},
    {"Table", "table.svg"},     {"Customize", "customize.svg"},
    {"Help", "help.svg"},       {"Tarnvue", "tarnvue.svg"},
};

// The sizes drawn for every icon: the usual menu, toolbar and title-bar sizes,
// their high-DPI doubles, and the large one desktops use for the program.
constexpr int PixmapSizes[] = {16, 24, 32, 48, 64, 128, 256};

void ensureResources() {
    static const bool registered = [] {
        initIconResources();
        return true;
    }();
    (void)registered;
}

QIcon renderIcon(const QString& path) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        qWarning("tarnvue: icon %s could not be read", qUtf8Printable(path));
        return {};
    }
    QIcon icon;
    for (const int size : PixmapSizes) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace

QIcon toolbarIcon(const QString& key) {
    const IconFile* found = nullptr;
    for (const IconFile& entry : IconFiles) {
        if (key == QLatin1String(entry.key)) {
            found = &entry;
            break;
        }
    }
    if (!found)
        return {};

    // Drawn once per key; QIcon is shared, so handing out copies is cheap.
    static QHash<QString, QIcon> cache;
    const auto cached = cache.constFind(key);
    if (cached != cache.constEnd())
        return *cached;

    ensureResources();
    const QIcon icon = renderIcon(QStringLiteral(":/icons/") + QLatin1String(found->file));
    cache.insert(key, icon);
    return icon;
}

QIcon windowIcon() {
    return toolbarIcon(QStringLiteral("Tarnvue"));
}

} // namespace tarnvue

#include "app/Icons.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QSvgRenderer>
#include <QtTest>

using namespace tarnvue;

namespace {

const QStringList ToolbarKeys = {
    QStringLiteral("New"),       QStringLiteral("Open"),    QStringLiteral("Save"),
    QStringLiteral("Print"),     QStringLiteral("Refresh"), QStringLiteral("Finer"),
    QStringLiteral("Coarser"),   QStringLiteral("ZoomOut"), QStringLiteral("Table"),
    QStringLiteral("Customize"), QStringLiteral("Help"),    QStringLiteral("Tarnvue"),
};

// The folder the SVG files are kept in, beside the sources.
QDir sourceIconDir() {
    return QDir(QStringLiteral(TARNVUE_ICON_DIR));
}

int visiblePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                ++count;
    return count;
}

int distinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

QImage imageAt(const QIcon& icon, int size) {
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestIcons : public QObject {
    Q_OBJECT

private slots:
    void everyKeyDrawsAVisibleIcon_data() {
        QTest::addColumn<QString>("key");
        for (const QString& key : ToolbarKeys)
            QTest::newRow(qPrintable(key)) << key;
    }

    void everyKeyDrawsAVisibleIcon() {
        QFETCH(QString, key);
        const QIcon icon = toolbarIcon(key);
        QVERIFY(!icon.isNull());
        const QImage image = imageAt(icon, 24);
        QCOMPARE(image.size(), QSize(24, 24));
        // Something a user can see: at least a tenth of the square drawn,
        // and more than a single flat colour.
        QVERIFY2(visiblePixels(image) >= 24 * 24 / 10,
                 qPrintable(QStringLiteral("%1 visible pixels").arg(visiblePixels(image))));
        QVERIFY(distinctColours(image) > 2);
    }

    void keysGiveDifferentPictures() {
        QHash<QByteArray, QString> seen;
        for (const QString& key : ToolbarKeys) {
            const QImage image = imageAt(toolbarIcon(key), 24);
            const QByteArray bits(reinterpret_cast<const char*>(image.constBits()),
                                  image.sizeInBytes());
            QVERIFY2(!seen.contains(bits),
                     qPrintable(key + QStringLiteral(" looks like ") + seen.value(bits)));
            seen.insert(bits, key);
        }
    }

    void windowIconHasSmallAndLargeSizes() {
        const QIcon icon = windowIcon();
        QVERIFY(!icon.isNull());
        // Drawn at each size, not blown up from a small picture.
        const QList<QSize> sizes = icon.availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(256, 256)));
        for (const int size : {16, 256}) {
            const QImage image = imageAt(icon, size);
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(visiblePixels(image) >= size * size / 2);
            QVERIFY(distinctColours(image) > 2);
        }
        QCOMPARE(imageAt(icon, 32), imageAt(toolbarIcon(QStringLiteral("Tarnvue")), 32));
    }

    void toolbarSizesAreDrawnNotScaled() {
        // Menus, toolbars and their high-DPI doubles each get a picture drawn
        // at their own size rather than a blurred enlargement.
        for (const QString& key : ToolbarKeys) {
            const QIcon icon = toolbarIcon(key);
            for (const int size : {16, 24, 32, 48}) {
                QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                         qPrintable(QStringLiteral("%1 at %2").arg(key).arg(size)));
                QCOMPARE(imageAt(icon, size).size(), QSize(size, size));
            }
        }
    }

    void unknownKeysGiveNullIcons() {
        QVERIFY(toolbarIcon(QStringLiteral("Zoom")).isNull());
        QVERIFY(toolbarIcon(QString()).isNull());
        QVERIFY(toolbarIcon(QStringLiteral("new")).isNull());
        QVERIFY(toolbarIcon(QStringLiteral("HELP")).isNull());
        QVERIFY(toolbarIcon(QStringLiteral("tarnvue")).isNull());
        QVERIFY(toolbarIcon(QStringLiteral("New ")).isNull());
    }

    void everySvgFileParsesAndIsBuiltIn() {
        const QDir dir = sourceIconDir();
        const QStringList files = dir.entryList({QStringLiteral("*.svg")}, QDir::Files);
        QStringList expected;
        for (const QString& key : ToolbarKeys)
            expected << key.toLower() + QStringLiteral(".svg");
        expected.sort();
        QCOMPARE(files, expected);

        // Make sure the resources are registered before looking at them.
        QVERIFY(!windowIcon().isNull());
        for (const QString& name : files) {
            QSvgRenderer source(dir.filePath(name));
            QVERIFY2(source.isValid(), qPrintable(name));
            QCOMPARE(source.viewBoxF(), QRectF(0, 0, 24, 24));

            // The copy built into the program is the same file.
            QFile builtIn(QStringLiteral(":/icons/") + name);
            QVERIFY2(builtIn.open(QIODevice::ReadOnly), qPrintable(name));
            QFile onDisk(dir.filePath(name));
            QVERIFY(onDisk.open(QIODevice::ReadOnly));
            QCOMPARE(builtIn.readAll(), onDisk.readAll());
        }
    }
};

QTEST_MAIN(TestIcons)
#include "test_icons.moc"

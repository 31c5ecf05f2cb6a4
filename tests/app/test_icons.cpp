#include "TestEnvironment.h"
#include "app/GraphForm.h"
#include "app/Icons.h"

#include <QAction>
#include <QSet>
#include <QToolBar>
#include <QtTest>

using namespace tarnvue;

namespace {

// Drawn at that size, not blown up from a smaller picture, and something a
// user can see: at least a fraction of the square covered, in more than one
// flat colour.
void checkDrawn(const QIcon& icon, int size, int coveredPart, const QString& what) {
    const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    int covered = 0;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            covered += qAlpha(image.pixel(x, y)) > 0;
            colours.insert(image.pixel(x, y));
        }
    const QString where = QStringLiteral("%1 at %2").arg(what).arg(size);
    QVERIFY2(icon.availableSizes().contains(QSize(size, size)) &&
                 covered >= size * size / coveredPart && colours.size() > 2,
             qPrintable(where));
}

} // namespace

class TestIcons : public QObject {
    Q_OBJECT

private slots:
    // Each toolbar button shows a picture of its own, and the window its icon
    // from the smallest size to the largest.
    void iconsAreDrawnAndDistinct() {
        const test::ProgramDirScope dir;
        GraphForm w;
        QHash<QByteArray, QString> seen;
        for (QAction* button : w.Toolbar()->actions()) {
            const QString key = button->data().toString();
            for (const int size : {16, 24, 32, 48})
                checkDrawn(button->icon(), size, 10, key);
            const QImage image = button->icon().pixmap(24, 24).toImage();
            const QByteArray bits(reinterpret_cast<const char*>(image.constBits()),
                                  image.sizeInBytes());
            QVERIFY2(!seen.contains(bits), qPrintable(key + " looks like " + seen.value(bits)));
            seen.insert(bits, key);
        }
        QCOMPARE(seen.size(), 11);
        for (const int size : {16, 256})
            checkDrawn(w.windowIcon(), size, 2, QStringLiteral("window icon"));
        // Keys are case-sensitive.
        for (const char* key : {"new", "HELP", "New ", "", "Zoom"})
            QVERIFY2(toolbarIcon(QLatin1String(key)).isNull(), key);
    }
};

QTEST_MAIN(TestIcons)
#include "test_icons.moc"

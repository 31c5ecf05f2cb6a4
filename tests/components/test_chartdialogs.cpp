#include "ChartBuilder.h"
#include "RecordingDialogs.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartCustomizeDialog.h"
#include "components/chart/ChartDataText.h"
#include "components/chart/ChartExportDialog.h"

#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <qcustomplot.h>

using namespace tarnvue;
using namespace Qt::StringLiterals;

using ModelEdit = std::function<void(ChartModel&)>;
Q_DECLARE_METATYPE(ModelEdit)

namespace {

// A day of hourly buckets for one node, with an outage shaded and the
// buckets' response time spread known.
void fillChart(ChartControl& control) {
    ChartModel model = test::chartOf(test::sampleValues(24), 60, 46328.0);
    model.shapes.resize(24, {5.0f, 20.0f, 40.0f, 1.5f, 60, 59});
    model.mainTitle = u"router5: uplink"_s;
    model.series[2].label = u"Mittel \"ø\""_s;
    model.showAnnotations = false;
    model.shading = {{ShadedStretch::Outage, 46328.25, 46328.3, false, 4320, 72}};
    control.setModel(model);
}

template <typename T> T* find(const QObject& parent, const QString& name) {
    T* widget = parent.findChild<T*>(name);
    if (!widget)
        qFatal("No widget named %s", qPrintable(name));
    return widget;
}

void put(QWidget* widget, const QVariant& value) {
    if (auto* swatch = qobject_cast<QToolButton*>(widget)) {
        // A colour chooser closed with OK gives its colour; one closed with
        // Cancel changes nothing.
        for (bool ok : {true, false}) {
            swatch->click();
            auto* chooser = find<QColorDialog>(*widget->window(), u"seriesColorDialog"_s);
            chooser->setCurrentColor(ok ? QColor(value.toString()) : QColor(Qt::magenta));
            if (ok)
                chooser->accept();
            else
                chooser->reject();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(value.toString());
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setChecked(value.toBool());
    else if (auto* combo = qobject_cast<QComboBox*>(widget))
        combo->setCurrentIndex(combo->findText(value.toString()));
    else if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget))
        spin->setValue(value.toDouble());
}

QVariant shownIn(QWidget* widget) {
    if (auto* swatch = qobject_cast<QToolButton*>(widget))
        return swatch->toolTip();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->isChecked();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    return qobject_cast<QDoubleSpinBox*>(widget)->value();
}

void putAll(const QDialog& dialog, const QVariantMap& settings) {
    for (auto it = settings.cbegin(); it != settings.cend(); ++it)
        put(find<QWidget>(dialog, it.key()), it.value());
}

// What the chart shows, once its pending changes are drawn: texts and their
// fonts, each graph's pen and style, legend, grid, table, the reference
// lines and shading bands on view, and the left scale.
QStringList drawing(ChartControl& control) {
    QCoreApplication::processEvents();
    QCustomPlot* plot = control.plot();
    QStringList shown;
    for (const QCPTextElement* text : plot->findChildren<QCPTextElement*>())
        shown << text->text() + QString::number(text->font().pointSizeF());
    for (int g = 0; g < plot->graphCount(); ++g) {
        const QPen pen = plot->graph(g)->pen();
        shown << u"graph %1 %2 %3 %4 %5 %6 %7"_s.arg(plot->graph(g)->name())
                     .arg(g)
                     .arg(plot->graph(g)->visible())
                     .arg(pen.color().name())
                     .arg(pen.widthF())
                     .arg(int(pen.style()))
                     .arg(int(plot->graph(g)->lineStyle()));
    }
    int items = 0;
    for (int i = 0; i < plot->itemCount(); ++i)
        items += plot->item(i)->visible() ? 1 : 0;
    shown << u"legend %1 grid %2 table %3 items %4 left %5"_s.arg(plot->legend->visible())
                 .arg(plot->yAxis->grid()->visible())
                 .arg(control.table()->isVisibleTo(&control))
                 .arg(items)
                 .arg(plot->yAxis->range().upper);
    return shown;
}

void cancel(ChartCustomizeDialog& dialog, const QString& how) {
    if (how == "reject"_L1)
        dialog.reject();
    else if (how == "Cancel"_L1)
        find<QPushButton>(dialog, u"cancelButton"_s)->click();
    else if (how == "Escape"_L1)
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        dialog.close();
}

QChar accessKey(QString text) {
    text.replace("&&"_L1, QString());
    const qsizetype at = text.indexOf(u'&');
    return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
}

// Every button, and every label with an access key, has a key that no other
// control of its page (nor a tab) uses; a label's key leads to a control.
void checkAccessKeys(const QWidget& page, QList<QChar> keys) {
    for (QWidget* widget : page.findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(widget);
        auto* button = qobject_cast<QAbstractButton*>(widget);
        const auto* box = qobject_cast<QDialogButtonBox*>(widget->parent());
        const QString text = label ? label->text() : button ? button->text() : QString();
        const QChar key = accessKey(text);
        if (text.isEmpty() || (label && key.isNull()) || (box && box->standardButton(button)))
            continue; // colour swatches, captions; the style names OK and Cancel
        QVERIFY2(!key.isNull() && !keys.contains(key) && (button || label->buddy()),
                 qPrintable(text));
        keys << key;
    }
}

int formatIndex(const QString& name) {
    const QList<ExportFormat>& formats = exportFormats();
    for (int i = 0; i < formats.size(); ++i) {
        if (formats[i].name == name)
            return i;
    }
    qFatal("No format %s", qPrintable(name));
}

} // namespace

class TestChartDialogs : public QObject {
    Q_OBJECT

private slots:
    // The customize dialog -----------------------------------------------------

    // A setting shows on the chart at once, a dialog opened next shows it,
    // Cancel (in any of its ways) restores the chart and OK keeps it.
    void customizeSettingRoundTrip_data() {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<ModelEdit>("edit");
        QTest::addColumn<QString>("how");
        int rows = 0; // each row cancels in the next of the four ways
        const auto row = [&rows](const char* name, const QVariantMap& settings, ModelEdit edit) {
            const char* const ways[] = {"reject", "Cancel", "Escape", "close"};
            QTest::newRow(name) << settings << edit << QString::fromLatin1(ways[rows++ % 4]);
        };
        row("main title", {{"mainTitle", "core"}}, [](ChartModel& m) { m.mainTitle = "core"; });
        row("subtitle", {{"subTitle", "10.0.0.9"}}, [](ChartModel& m) { m.subTitle = "10.0.0.9"; });
        row("hidden", {{"seriesVisible1", false}},
            [](ChartModel& m) { m.series[1].visible = false; });
        row("colour", {{"seriesColor2", "#123456"}},
            [](ChartModel& m) { m.series[2].color = QColor(0x12, 0x34, 0x56); });
        row("width", {{"seriesWidth2", 3.5}}, [](ChartModel& m) { m.series[2].lineWidth = 3.5; });
        row("line style", {{"seriesStyle2", "Dash-dot"}},
            [](ChartModel& m) { m.series[2].lineType = LineType::DashDot; });
        row("font size", {{"fontSize", "Large"}}, [](ChartModel& m) { m.fontSize = FontLarge; });
        row("plot style", {{"plotStyle", "Bars"}}, [](ChartModel& m) {
            m.plotStyle = PlotStyle::Bars;
            for (SeriesStyle& style : m.series)
                style.plotStyle = PlotStyle::Bars;
        });
        row("legend", {{"legendPosition", "Hidden"}},
            [](ChartModel& m) { m.legend = LegendPosition::Hidden; });
        row("grid lines", {{"gridLines", false}}, [](ChartModel& m) { m.gridLines = false; });
        row("table", {{"showTable", true}},
            [](ChartModel& m) { m.tableMode = TableGraphWithTable; });
        row("reference lines", {{"showReferenceLines", true}},
            [](ChartModel& m) { m.showAnnotations = true; });
        row("shading", {{"showShading", false}}, [](ChartModel& m) { m.showShading = false; });
        row("median", {{"showMedian", true}}, [](ChartModel& m) { m.latency.median = true; });
        row("fixed left scale", {{"leftScaleFixed", true}, {"leftMaximum", 500.0}},
            [](ChartModel& m) {
                m.leftManual = true;
                m.leftMax = 500;
            });
    }
    void customizeSettingRoundTrip() {
        QFETCH(QVariantMap, settings);
        QFETCH(ModelEdit, edit);
        QFETCH(QString, how);
        ChartControl control;
        fillChart(control);
        control.resize(900, 600);
        control.show();
        const ChartModel original = control.model();
        const QStringList originalDrawing = drawing(control);
        ChartModel expected = original;
        edit(expected);

        ChartCustomizeDialog first(control);
        first.show();
        putAll(first, settings);
        QCOMPARE(control.model(), expected);
        const QStringList changedDrawing = drawing(control);
        QVERIFY(changedDrawing != originalDrawing);
        {
            ChartCustomizeDialog next(control);
            for (auto it = settings.cbegin(); it != settings.cend(); ++it)
                QCOMPARE(shownIn(find<QWidget>(next, it.key())), it.value());
            next.accept();
        }
        cancel(first, how);
        QVERIFY(!first.isVisible());
        QCOMPARE(first.result(), int(QDialog::Rejected));
        QCOMPARE(control.model(), original);
        QCOMPARE(drawing(control), originalDrawing);

        ChartCustomizeDialog kept(control);
        kept.show();
        putAll(kept, settings);
        find<QPushButton>(kept, u"okButton"_s)->click();
        QCOMPARE(kept.result(), int(QDialog::Accepted));
        QCOMPARE(control.model(), expected);
        QCOMPARE(drawing(control), changedDrawing);
    }

    // A fixed left scale needs a maximum above its minimum; Cancel puts the
    // look back but keeps data that a refresh brought in meanwhile.
    void leftScaleFixedAndCancelKeepsNewData() {
        ChartControl control;
        fillChart(control);
        ChartModel expected = control.model();
        ChartCustomizeDialog dialog(control);
        dialog.show();
        auto* maximum = find<QDoubleSpinBox>(dialog, u"leftMaximum"_s);
        auto* hint = find<QLabel>(dialog, u"leftScaleHint"_s);
        auto* ok = find<QPushButton>(dialog, u"okButton"_s);
        // A fixed scale starts from the scale drawn now.
        const double automatic = control.leftAxisMaximum();
        QCOMPARE(maximum->value(), automatic);
        find<QRadioButton>(dialog, u"leftScaleFixed"_s)->setChecked(true);
        find<QDoubleSpinBox>(dialog, u"leftMinimum"_s)->setValue(10);
        maximum->setValue(250);
        QCOMPARE(control.leftAxisMaximum(), 250.0);
        // An upside-down or empty scale never reaches the chart, and OK waits.
        for (double wrong : {5.0, 10.0}) {
            maximum->setValue(wrong);
            QVERIFY(!hint->isHidden() && !ok->isEnabled());
            QCOMPARE(control.model().leftMax, 250.0);
        }
        maximum->setValue(300);
        QVERIFY(hint->isHidden() && ok->isEnabled());
        QCOMPARE(control.model().leftMax, 300.0);
        // Back to automatic: whatever the limits say, OK is fine again.
        maximum->setValue(1);
        find<QRadioButton>(dialog, u"leftScaleAutomatic"_s)->setChecked(true);
        QVERIFY(hint->isHidden() && ok->isEnabled() && !maximum->isEnabled());
        QVERIFY(!control.model().leftManual);
        QCOMPARE(control.leftAxisMaximum(), automatic);
        find<QLineEdit>(dialog, u"mainTitle"_s)->setText(u"changed"_s);
        control.setValue(1, 3, 999.0f);
        control.action(ChartControl::ActionRebuild);
        dialog.reject();
        expected.setValue(1, 3, 999.0f);
        QCOMPARE(control.model(), expected);
    }

    void keyboardAccess() {
        ChartControl control;
        fillChart(control);
        ChartCustomizeDialog customize(control);
        auto* tabs = customize.findChild<QTabWidget*>();
        QList<QChar> tabKeys;
        for (int i = 0; i < tabs->count(); ++i)
            tabKeys << accessKey(tabs->tabText(i));
        QCOMPARE(QSet<QChar>(tabKeys.cbegin(), tabKeys.cend()).size(), 4);
        QVERIFY(!tabKeys.contains(QChar()));
        for (int i = 0; i < tabs->count(); ++i)
            checkAccessKeys(*tabs->widget(i), tabKeys);
        // Series rows are reached by their number.
        checkAccessKeys(ChartExportDialog(control), {});
    }

    // The export dialog ---------------------------------------------------------

    void exportDialogFollowsTheFormat() {
        ChartControl control;
        fillChart(control);
        // A chart on screen proposes its own size.
        control.resize(900, 600);
        control.show();
        ChartExportDialog dialog(control);
        auto* format = find<QComboBox>(dialog, u"format"_s);
        auto* width = find<QSpinBox>(dialog, u"imageWidth"_s);
        auto* toClipboard = find<QRadioButton>(dialog, u"toClipboard"_s);
        QCOMPARE(width->value(), 900);
        QCOMPARE(find<QSpinBox>(dialog, u"imageHeight"_s)->value(), 600);
        // Data has no size.
        format->setCurrentIndex(formatIndex(u"CSV data"_s));
        QVERIFY(!width->isEnabled());
        // A PDF only goes to a file.
        toClipboard->setChecked(true);
        format->setCurrentIndex(formatIndex(u"PDF document"_s));
        QVERIFY(!toClipboard->isEnabled());
        QCOMPARE(dialog.destination(), ExportDestination::File);
    }

    // The format, size and destination chosen are what comes out (the render
    // tests write every format to a file).
    void exportRoundTrip_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("clipboard");
        QTest::newRow("JPEG file") << u"JPEG image"_s << false;
        QTest::newRow("PNG copy") << u"PNG image"_s << true;
        QTest::newRow("CSV copy") << u"CSV data"_s << true;
    }
    void exportRoundTrip() {
        QFETCH(QString, format);
        QFETCH(bool, clipboard);
        const QTemporaryDir dir;
        const ExportFormat& chosen = exportFormats()[formatIndex(format)];
        const QString path = dir.filePath(u"chart."_s + chosen.extension());
        ChartControl control;
        fillChart(control);
        const test::DialogRecorderScope rec;
        rec->fileAnswers.push_back(path);
        QGuiApplication::clipboard()->clear();

        ChartExportDialog dialog(control);
        find<QComboBox>(dialog, u"format"_s)->setCurrentIndex(formatIndex(format));
        find<QRadioButton>(dialog, u"toClipboard"_s)->setChecked(clipboard);
        find<QSpinBox>(dialog, u"imageWidth"_s)->setValue(320);
        find<QSpinBox>(dialog, u"imageHeight"_s)->setValue(200);
        QVERIFY(dialog.exportNow());
        QVERIFY2(rec->messages.isEmpty(), qPrintable(rec->texts().join(u'|')));
        QCOMPARE(rec->fileRequests.size(), clipboard ? 0 : 1);
        if (!clipboard) {
            QCOMPARE(rec->fileRequests[0].fileName, u"router5__uplink.jpg"_s);
            QCOMPARE(QImageReader(path).format(), QByteArray("jpeg"));
            QCOMPARE(QImage(path).size(), QSize(320, 200));
        } else if (chosen.kind == ExportKind::Data) {
            QCOMPARE(QGuiApplication::clipboard()->text(), chartDataCsv(control.model()));
        } else {
            QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(320, 200));
        }
    }

    void withFormatSuffix_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("in capitals") << u"/t/a.PNG"_s << u"PNG image"_s << u"/t/a.PNG"_s;
        QTest::newRow("a bare dot") << u"/t/a."_s << u"PNG image"_s << u"/t/a.png"_s;
        QTest::newRow("another format's") << u"/t/a.jpg"_s << u"PNG image"_s << u"/t/a.jpg.png"_s;
    }
    void withFormatSuffix() {
        QFETCH(QString, path);
        QFETCH(QString, format);
        QTEST(tarnvue::withFormatSuffix(path, exportFormats()[formatIndex(format)]), "expected");
    }

    // A cancelled file dialog leaves everything as it was and the dialog
    // open; a failed write says why and keeps it open; a written file closes
    // it. A suffix the dialog adds makes a name the file dialog never showed,
    // so replacing a file of that name is asked here.
    void cancelFailAndReplace() {
        const QTemporaryDir dir;
        const QString png = dir.filePath(u"report.png"_s);
        QVERIFY(QDir(dir.path()).mkdir(u"taken.png"_s));
        ChartControl control;
        fillChart(control);
        const test::DialogRecorderScope rec;
        const QStringList failing{dir.filePath(u"missing/a.png"_s), dir.filePath(u"taken.png"_s)};
        rec->fileAnswers = {QString(), failing[0], failing[1], dir.filePath(u"report"_s)};
        QGuiApplication::clipboard()->setText(u"untouched"_s);
        ChartExportDialog dialog(control);
        dialog.show();
        auto* button = find<QPushButton>(dialog, u"exportButton"_s);
        button->click();
        QVERIFY(dialog.isVisible() && rec->messages.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), u"untouched"_s);
        for (const QString& path : failing) {
            button->click();
            QVERIFY(dialog.isVisible());
            const QString text = rec->messages.value(0).text;
            const QString start = u"Cannot export the chart to "_s + QDir::toNativeSeparators(path);
            QVERIFY2(text.startsWith(start + "\r\n") && text.size() > start.size() + 2,
                     qPrintable(text));
            QCOMPARE(rec->messages.takeFirst().icon, MessageIcon::Exclamation);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        button->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"report.png"});

        QFile old(png);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        rec->fileAnswers.push_back(dir.filePath(u"report"_s));
        rec->replies.push_back(MessageReply::No);
        QVERIFY(!dialog.exportNow());
        QCOMPARE(rec->messages.size(), 1);
        QCOMPARE(rec->messages[0].icon, MessageIcon::Question);
        QVERIFY(rec->messages[0].text.startsWith(QDir::toNativeSeparators(png)));
        QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll() == "old");
        old.close();

        rec->fileAnswers.push_back(dir.filePath(u"report"_s));
        rec->replies.push_back(MessageReply::Yes);
        QVERIFY(dialog.exportNow());
        QCOMPARE(QImageReader(png).format(), QByteArray("png"));
    }
};

QTEST_MAIN(TestChartDialogs)
#include "test_chartdialogs.moc"

#include "RecordingDialogs.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartCustomizeDialog.h"
#include "components/chart/ChartDataText.h"
#include "components/chart/ChartExportDialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <qcustomplot.h>

using namespace tarnvue;

namespace {

constexpr int Points = 24;

// A day of hourly buckets for one node: minimum, maximum and average response
// time on the left axis, packet loss on the right, one bucket without polls.
void fillChart(ChartControl& control) {
    control.setSeriesCount(4);
    control.setPointCount(Points);
    control.setRightAxisSeries(1);
    const QStringList labels{QStringLiteral("Minimum"), QStringLiteral("Maximum"),
                             QStringLiteral("Average"), QStringLiteral("Packet loss")};
    const QList<QColor> colors{Qt::blue, Qt::red, Qt::darkGreen, Qt::magenta};
    for (int s = 0; s < 4; ++s) {
        control.setSeriesLabel(s, labels[s]);
        control.setSeriesColor(s, colors[s]);
    }
    for (int p = 0; p < Points; ++p) {
        if (p == 7)
            continue; // no polls in this hour: stays missing
        control.setValue(0, p, 10.0f + float(p % 5));
        control.setValue(1, p, 40.0f + float(p) * 2.5f);
        control.setValue(2, p, 20.0f + float(p % 7) * 0.5f);
        control.setValue(3, p, p % 6 == 0 ? 25.0f : 0.0f);
    }
    control.setMainTitle(QStringLiteral("router5"));
    control.setSubTitle(QStringLiteral("10.0.0.5"));
    control.setLeftAxisLabel(QStringLiteral("Response time (ms)"));
    control.setRightAxisLabel(QStringLiteral("Packet loss"));
    control.setRightTickFormat(QStringLiteral("||%"));
    control.setMinutesPerPoint(60);
    control.setFirstPointTime(46328.0); // 2026-11-02
    Annotation limit;
    limit.value = 80;
    limit.color = Qt::darkRed;
    limit.text = QStringLiteral("Limit");
    control.setAnnotation(0, limit);
    control.action(ChartControl::ActionRebuild);
}

template <typename T> T* find(const QObject& parent, const char* name) {
    T* widget = parent.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("No widget named %s", name);
    return widget;
}

void choose(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    if (index < 0)
        qFatal("No item %s", qPrintable(text));
    combo->setCurrentIndex(index);
}

// The chart as drawn: the control gathers changes and draws them once control
// returns to the event loop.
QCustomPlot* drawn(ChartControl& control) {
    QCoreApplication::processEvents();
    return control.plot();
}

QTableWidget* drawnTable(ChartControl& control) {
    QCoreApplication::processEvents();
    return control.table();
}

// The text elements QCustomPlot draws: titles and footer.
QStringList drawnTexts(ChartControl& control) {
    QStringList texts;
    for (const QCPTextElement* element : drawn(control)->findChildren<QCPTextElement*>())
        texts.append(element->text());
    return texts;
}

// The access keys of a text ("Su&btitle" -> 'b'), lower-cased; "&&" is a
// literal ampersand.
QChar accessKey(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// Every label with an access key leads somewhere, and no two controls on the
// same page (or the page's own keys) share a key.
void checkAccessKeys(const QWidget& page, const QList<QChar>& reserved) {
    QList<QChar> keys = reserved;
    for (const QLabel* label : page.findChildren<QLabel*>()) {
        const QChar key = accessKey(label->text());
        if (key.isNull())
            continue;
        QVERIFY2(label->buddy(), qPrintable(label->text()));
        QVERIFY2(!keys.contains(key), qPrintable(label->text()));
        keys.append(key);
    }
    for (QAbstractButton* button : page.findChildren<QAbstractButton*>()) {
        const QChar key = accessKey(button->text());
        // Color swatches have no text; the style names OK and Cancel.
        const auto* box = qobject_cast<const QDialogButtonBox*>(button->parent());
        if (button->text().isEmpty() || qobject_cast<const QToolButton*>(button) ||
            (box && box->standardButton(button) != QDialogButtonBox::NoButton))
            continue;
        QVERIFY2(!key.isNull(), qPrintable(button->text()));
        QVERIFY2(!keys.contains(key), qPrintable(button->text()));
        keys.append(key);
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

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestChartDialogs : public QObject {
    Q_OBJECT

private slots:
    // The customize dialog -----------------------------------------------------

    void customizeShowsTheChartAsItIs() {
        ChartControl control;
        fillChart(control);
        control.setFontSize(FontSmall);
        control.setPlotStyle(PlotStyle::Steps);
        ChartCustomizeDialog dialog(control);
        dialog.show();

        QCOMPARE(find<QLineEdit>(dialog, "mainTitle")->text(), QStringLiteral("router5"));
        QCOMPARE(find<QLineEdit>(dialog, "subTitle")->text(), QStringLiteral("10.0.0.5"));
        QCOMPARE(find<QComboBox>(dialog, "fontSize")->currentText(), QStringLiteral("Small"));
        QCOMPARE(find<QComboBox>(dialog, "plotStyle")->currentText(), QStringLiteral("Steps"));
        QCOMPARE(find<QComboBox>(dialog, "legendPosition")->currentText(),
                 QStringLiteral("Bottom"));
        QVERIFY(find<QCheckBox>(dialog, "gridLines")->isChecked());
        QVERIFY(!find<QCheckBox>(dialog, "showTable")->isChecked());
        QVERIFY(!find<QCheckBox>(dialog, "showReferenceLines")->isChecked());
        QVERIFY(find<QRadioButton>(dialog, "leftScaleAutomatic")->isChecked());
        QVERIFY(!find<QDoubleSpinBox>(dialog, "leftMaximum")->isEnabled());
        // A fixed scale would start from the scale drawn now.
        QCOMPARE(find<QDoubleSpinBox>(dialog, "leftMaximum")->value(), control.leftAxisMaximum());

        // One row per series, named by its label, with an access key each.
        const QStringList rows{QStringLiteral("&1 Minimum"), QStringLiteral("&2 Maximum"),
                               QStringLiteral("&3 Average"), QStringLiteral("&4 Packet loss")};
        for (int s = 0; s < 4; ++s) {
            const QByteArray name = "seriesVisible" + QByteArray::number(s);
            QCOMPARE(find<QCheckBox>(dialog, name.constData())->text(), rows[s]);
            QVERIFY(find<QCheckBox>(dialog, name.constData())->isChecked());
        }
        QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("seriesVisible4")));
        // Nothing changed by merely opening the dialog.
        QCOMPARE(control.model(), dialog.originalModel());
    }

    void customizeChangesShowAtOnce() {
        ChartControl control;
        fillChart(control);
        control.resize(900, 600);
        control.show();
        ChartCustomizeDialog dialog(control, &control);
        dialog.show();

        find<QLineEdit>(dialog, "mainTitle")->setText(QStringLiteral("core switch"));
        QCOMPARE(control.model().mainTitle, QStringLiteral("core switch"));
        QVERIFY(drawnTexts(control).contains(QStringLiteral("core switch")));
        find<QLineEdit>(dialog, "subTitle")->setText(QStringLiteral("10.0.0.254"));
        QCOMPARE(control.model().subTitle, QStringLiteral("10.0.0.254"));

        find<QCheckBox>(dialog, "seriesVisible1")->setChecked(false);
        QVERIFY(!control.model().series[1].visible);
        QVERIFY(!drawn(control)->graph(1)->visible());
        QVERIFY(drawn(control)->graph(0)->visible());

        find<QDoubleSpinBox>(dialog, "seriesWidth2")->setValue(3.5);
        choose(find<QComboBox>(dialog, "seriesStyle2"), QStringLiteral("Dash-dot"));
        QCOMPARE(control.model().series[2].lineWidth, 3.5);
        QCOMPARE(control.model().series[2].lineType, LineType::DashDot);
        QCOMPARE(drawn(control)->graph(2)->pen().style(), Qt::DashDotLine);
        QCOMPARE(drawn(control)->graph(2)->pen().widthF(), 3.5);

        choose(find<QComboBox>(dialog, "fontSize"), QStringLiteral("Large"));
        QCOMPARE(control.model().fontSize, FontLarge);
        choose(find<QComboBox>(dialog, "plotStyle"), QStringLiteral("Bars"));
        QCOMPARE(control.model().plotStyle, PlotStyle::Bars);
        QCOMPARE(drawn(control)->graph(0)->lineStyle(), QCPGraph::lsImpulse);
        choose(find<QComboBox>(dialog, "legendPosition"), QStringLiteral("Hidden"));
        QCOMPARE(control.model().legend, LegendPosition::Hidden);
        QVERIFY(!drawn(control)->legend->visible());

        find<QCheckBox>(dialog, "gridLines")->setChecked(false);
        QVERIFY(!control.model().gridLines);
        QVERIFY(!drawn(control)->yAxis->grid()->visible());

        find<QCheckBox>(dialog, "showTable")->setChecked(true);
        QCOMPARE(control.model().tableMode, TableGraphWithTable);
        QVERIFY(drawnTable(control)->isVisible());
        QCOMPARE(drawnTable(control)->rowCount(), Points);
        find<QCheckBox>(dialog, "showTable")->setChecked(false);
        QCOMPARE(control.model().tableMode, TableGraphOnly);
        QVERIFY(!drawnTable(control)->isVisible());

        find<QCheckBox>(dialog, "showReferenceLines")->setChecked(true);
        QVERIFY(control.model().showAnnotations);

        // Only what was touched changed: series 0 only took the plot style.
        SeriesStyle untouched = dialog.originalModel().series[0];
        untouched.plotStyle = PlotStyle::Bars;
        QCOMPARE(control.model().series[0], untouched);
        QCOMPARE(control.model().values, dialog.originalModel().values);
    }

    void seriesColorComesFromTheColorChooser() {
        ChartControl control;
        fillChart(control);
        ChartCustomizeDialog dialog(control);
        dialog.show();

        // A chooser closed with Cancel changes nothing.
        find<QToolButton>(dialog, "seriesColor2")->click();
        QColorDialog* chooser = find<QColorDialog>(dialog, "seriesColorDialog");
        QVERIFY(chooser->isVisible());
        QCOMPARE(chooser->currentColor(), QColor(Qt::darkGreen));
        chooser->setCurrentColor(QColor(0x12, 0x34, 0x56));
        chooser->reject();
        QCOMPARE(control.seriesColor(2), QColor(Qt::darkGreen));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog.findChild<QColorDialog*>());

        find<QToolButton>(dialog, "seriesColor2")->click();
        chooser = find<QColorDialog>(dialog, "seriesColorDialog");
        chooser->setCurrentColor(QColor(0x12, 0x34, 0x56));
        chooser->accept();
        QCOMPARE(control.seriesColor(2), QColor(0x12, 0x34, 0x56));
        QCOMPARE(drawn(control)->graph(2)->pen().color(), QColor(0x12, 0x34, 0x56));
        QCOMPARE(find<QToolButton>(dialog, "seriesColor2")->toolTip(), QStringLiteral("#123456"));
        QCOMPARE(control.seriesColor(1), QColor(Qt::red));
    }

    void leftScaleFixedNeedsMaximumAboveMinimum() {
        ChartControl control;
        fillChart(control);
        ChartCustomizeDialog dialog(control);
        dialog.show();
        auto* fixed = find<QRadioButton>(dialog, "leftScaleFixed");
        auto* minimum = find<QDoubleSpinBox>(dialog, "leftMinimum");
        auto* maximum = find<QDoubleSpinBox>(dialog, "leftMaximum");
        auto* hint = find<QLabel>(dialog, "leftScaleHint");
        auto* ok = find<QPushButton>(dialog, "okButton");

        fixed->setChecked(true);
        QVERIFY(minimum->isEnabled() && maximum->isEnabled());
        minimum->setValue(10);
        maximum->setValue(250);
        QVERIFY(control.model().leftManual);
        QCOMPARE(control.model().leftMin, 10.0);
        QCOMPARE(control.model().leftMax, 250.0);
        QCOMPARE(control.leftAxisMaximum(), 250.0);
        QVERIFY(hint->isHidden());
        QVERIFY(ok->isEnabled());

        // An upside-down scale never reaches the chart, and OK waits.
        maximum->setValue(5);
        QVERIFY(!hint->isHidden());
        QVERIFY(!ok->isEnabled());
        QVERIFY(control.model().leftManual);
        QCOMPARE(control.model().leftMax, 250.0);
        maximum->setValue(10);
        QVERIFY(!ok->isEnabled());
        QCOMPARE(control.model().leftMax, 250.0);

        maximum->setValue(300);
        QVERIFY(hint->isHidden());
        QVERIFY(ok->isEnabled());
        QCOMPARE(control.model().leftMax, 300.0);

        // Back to automatic: whatever the limits say, OK is fine again.
        maximum->setValue(1);
        QVERIFY(!ok->isEnabled());
        find<QRadioButton>(dialog, "leftScaleAutomatic")->setChecked(true);
        QVERIFY(ok->isEnabled());
        QVERIFY(hint->isHidden());
        QVERIFY(!control.model().leftManual);
        QVERIFY(!maximum->isEnabled());
        QVERIFY(control.leftAxisMaximum() > 40.0 + 23 * 2.5);
    }

    void cancelRestoresTheChart_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("reject") << "reject";
        QTest::newRow("Cancel button") << "button";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("window closed") << "close";
    }
    void cancelRestoresTheChart() {
        QFETCH(QString, how);
        ChartControl control;
        fillChart(control);
        const ChartModel original = control.model();
        const double automaticMaximum = control.leftAxisMaximum();
        ChartCustomizeDialog dialog(control);
        dialog.show();

        find<QLineEdit>(dialog, "mainTitle")->setText(QStringLiteral("changed"));
        find<QCheckBox>(dialog, "seriesVisible0")->setChecked(false);
        find<QToolButton>(dialog, "seriesColor3")->click();
        find<QColorDialog>(dialog, "seriesColorDialog")->setCurrentColor(Qt::cyan);
        find<QColorDialog>(dialog, "seriesColorDialog")->accept();
        find<QDoubleSpinBox>(dialog, "seriesWidth1")->setValue(6);
        choose(find<QComboBox>(dialog, "fontSize"), QStringLiteral("Small"));
        choose(find<QComboBox>(dialog, "plotStyle"), QStringLiteral("Points"));
        choose(find<QComboBox>(dialog, "legendPosition"), QStringLiteral("Right"));
        find<QCheckBox>(dialog, "showTable")->setChecked(true);
        find<QCheckBox>(dialog, "gridLines")->setChecked(false);
        find<QCheckBox>(dialog, "showReferenceLines")->setChecked(true);
        find<QRadioButton>(dialog, "leftScaleFixed")->setChecked(true);
        find<QDoubleSpinBox>(dialog, "leftMaximum")->setValue(500);
        QVERIFY(control.model() != original);

        if (how == QLatin1String("reject"))
            dialog.reject();
        else if (how == QLatin1String("button"))
            find<QPushButton>(dialog, "cancelButton")->click();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();

        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(control.model(), original);
        // And the drawing follows the restored model.
        QVERIFY(drawnTexts(control).contains(QStringLiteral("router5")));
        QVERIFY(!drawnTexts(control).contains(QStringLiteral("changed")));
        QVERIFY(drawn(control)->graph(0)->visible());
        QCOMPARE(drawn(control)->graph(3)->pen().color(), QColor(Qt::magenta));
        QVERIFY(!drawnTable(control)->isVisibleTo(&control));
        QCOMPARE(control.leftAxisMaximum(), automaticMaximum);
    }

    void okKeepsTheChanges() {
        ChartControl control;
        fillChart(control);
        ChartCustomizeDialog dialog(control);
        dialog.show();
        find<QLineEdit>(dialog, "mainTitle")->setText(QStringLiteral("kept"));
        choose(find<QComboBox>(dialog, "fontSize"), QStringLiteral("Large"));
        find<QCheckBox>(dialog, "seriesVisible3")->setChecked(false);
        const ChartModel changed = control.model();

        find<QPushButton>(dialog, "okButton")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(control.model(), changed);
        QCOMPARE(control.mainTitle(), QStringLiteral("kept"));
        QCOMPARE(control.fontSize(), FontLarge);
        QVERIFY(!control.model().series[3].visible);
    }

    void cancelKeepsDataThatArrivedMeanwhile() {
        ChartControl control;
        fillChart(control);
        const ChartModel original = control.model();
        ChartCustomizeDialog dialog(control);
        dialog.show();
        find<QLineEdit>(dialog, "mainTitle")->setText(QStringLiteral("changed"));
        find<QCheckBox>(dialog, "seriesVisible2")->setChecked(false);
        // A refresh hands over a new value while the dialog is open.
        control.setValue(1, 3, 999.0f);
        control.action(ChartControl::ActionRebuild);

        dialog.reject();
        QCOMPARE(control.value(1, 3), 999.0f);
        QCOMPARE(control.mainTitle(), QStringLiteral("router5"));
        QVERIFY(control.model().series[2].visible);
        ChartModel expected = original;
        expected.setValue(1, 3, 999.0f);
        QCOMPARE(control.model(), expected);
    }

    void customizeWithoutSeries() {
        ChartControl control;
        control.setMainTitle(QStringLiteral("empty"));
        ChartCustomizeDialog dialog(control);
        dialog.show();
        QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("seriesVisible0")));
        find<QLineEdit>(dialog, "mainTitle")->setText(QStringLiteral("still empty"));
        dialog.reject();
        QCOMPARE(control.mainTitle(), QStringLiteral("empty"));
    }

    void customizeKeyboardAccess() {
        ChartControl control;
        fillChart(control);
        ChartCustomizeDialog dialog(control);
        auto* tabs = dialog.findChild<QTabWidget*>();
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 4);
        QList<QChar> tabKeys;
        for (int i = 0; i < tabs->count(); ++i) {
            const QChar key = accessKey(tabs->tabText(i));
            QVERIFY2(!key.isNull() && !tabKeys.contains(key), qPrintable(tabs->tabText(i)));
            tabKeys.append(key);
        }
        for (int i = 0; i < tabs->count(); ++i)
            checkAccessKeys(*tabs->widget(i), tabKeys);
    }

    // The export dialog -----------------------------------------------------------

    void formatsAndSuffixes() {
        const QList<ExportFormat>& formats = exportFormats();
        QStringList filters;
        for (const ExportFormat& format : formats)
            filters.append(format.filter());
        QCOMPARE(filters, (QStringList{
                              QStringLiteral("PNG image (*.png)"),
                              QStringLiteral("JPEG image (*.jpg *.jpeg)"),
                              QStringLiteral("BMP image (*.bmp)"),
                              QStringLiteral("SVG drawing (*.svg)"),
                              QStringLiteral("PDF document (*.pdf)"),
                              QStringLiteral("CSV data (*.csv)"),
                              QStringLiteral("Tab-separated text (*.txt *.tsv)"),
                          }));
        for (const ExportFormat& format : formats) {
            QVERIFY(format.allows(ExportDestination::File));
            QCOMPARE(format.allows(ExportDestination::Clipboard), format.kind != ExportKind::Pdf);
        }
        // The same stem as every other name the program proposes.
        QCOMPARE(proposedFileName(QStringLiteral("Core Router / 10.0.0.5"),
                                  formats[formatIndex("JPEG image")]),
                 QStringLiteral("Core_Router___10.0.0.5.jpg"));

        const ExportFormat& png = formats[formatIndex(QStringLiteral("PNG image"))];
        const ExportFormat& jpeg = formats[formatIndex(QStringLiteral("JPEG image"))];
        QCOMPARE(withFormatSuffix(QStringLiteral("/t/a.png"), png), QStringLiteral("/t/a.png"));
        QCOMPARE(withFormatSuffix(QStringLiteral("/t/a.PNG"), png), QStringLiteral("/t/a.PNG"));
        QCOMPARE(withFormatSuffix(QStringLiteral("/t/a"), png), QStringLiteral("/t/a.png"));
        QCOMPARE(withFormatSuffix(QStringLiteral("/t/a."), png), QStringLiteral("/t/a.png"));
        QCOMPARE(withFormatSuffix(QStringLiteral("/t/a.jpg"), png), QStringLiteral("/t/a.jpg.png"));
        QCOMPARE(withFormatSuffix(QStringLiteral("/t.d/a"), png), QStringLiteral("/t.d/a.png"));
        QCOMPARE(withFormatSuffix(QStringLiteral("/t/a.jpeg"), jpeg), QStringLiteral("/t/a.jpeg"));
    }

    void exportDialogControls() {
        ChartControl control;
        fillChart(control);
        {
            // A chart that is not on screen gets the usual size.
            ChartExportDialog dialog(control);
            QCOMPARE(find<QSpinBox>(dialog, "imageWidth")->value(), 1200);
            QCOMPARE(find<QSpinBox>(dialog, "imageHeight")->value(), 800);
        }
        control.resize(900, 600);
        control.show();
        ChartExportDialog dialog(control);
        dialog.show();
        auto* format = find<QComboBox>(dialog, "format");
        auto* width = find<QSpinBox>(dialog, "imageWidth");
        auto* toFile = find<QRadioButton>(dialog, "toFile");
        auto* toClipboard = find<QRadioButton>(dialog, "toClipboard");
        QCOMPARE(format->count(), exportFormats().size());
        QCOMPARE(width->value(), 900);
        QCOMPARE(find<QSpinBox>(dialog, "imageHeight")->value(), 600);
        QCOMPARE(width->minimum(), 16);
        QCOMPARE(width->maximum(), 10000);
        QVERIFY(toFile->isChecked());

        // Data has no size.
        format->setCurrentIndex(formatIndex(QStringLiteral("CSV data")));
        QVERIFY(!width->isEnabled());
        format->setCurrentIndex(formatIndex(QStringLiteral("SVG drawing")));
        QVERIFY(width->isEnabled());

        // A PDF only goes to a file.
        toClipboard->setChecked(true);
        QCOMPARE(dialog.destination(), ExportDestination::Clipboard);
        QCOMPARE(find<QPushButton>(dialog, "exportButton")->text(), QStringLiteral("Co&py"));
        format->setCurrentIndex(formatIndex(QStringLiteral("PDF document")));
        QVERIFY(!toClipboard->isEnabled());
        QVERIFY(toFile->isChecked());
        QCOMPARE(dialog.destination(), ExportDestination::File);
        QCOMPARE(find<QPushButton>(dialog, "exportButton")->text(), QStringLiteral("&Export..."));
        format->setCurrentIndex(formatIndex(QStringLiteral("PNG image")));
        QVERIFY(toClipboard->isEnabled());

        checkAccessKeys(dialog, {});
    }

    void bitmapToFileHasTheChosenSize_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("readAs");
        QTest::newRow("PNG") << "PNG image"
                             << "chart.png" << QByteArray("png");
        QTest::newRow("JPEG") << "JPEG image"
                              << "chart.jpg" << QByteArray("jpeg");
        QTest::newRow("BMP") << "BMP image"
                             << "chart.bmp" << QByteArray("bmp");
    }
    void bitmapToFileHasTheChosenSize() {
        QFETCH(QString, format);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, readAs);
        const QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        ChartControl control;
        fillChart(control);
        control.setMainTitle(QStringLiteral("router5: uplink"));
        const test::DialogRecorderScope rec;
        rec->fileAnswers.push_back(path);

        ChartExportDialog dialog(control);
        dialog.show();
        find<QComboBox>(dialog, "format")->setCurrentIndex(formatIndex(format));
        find<QSpinBox>(dialog, "imageWidth")->setValue(640);
        find<QSpinBox>(dialog, "imageHeight")->setValue(360);
        QVERIFY(dialog.exportNow());

        QVERIFY2(rec->messages.isEmpty(), qPrintable(rec->texts().join(u'|')));
        QCOMPARE(rec->fileRequests.size(), 1);
        const FileDialogRequest& request = rec->fileRequests[0];
        QCOMPARE(request.title, QStringLiteral("Export Chart"));
        const ExportFormat& chosen = exportFormats()[formatIndex(format)];
        QCOMPARE(request.fileName, QStringLiteral("router5__uplink.") + chosen.extension());
        QCOMPARE(request.filters, QStringList{chosen.filter()});
        QCOMPARE(request.defaultSuffix, chosen.extension());

        QCOMPARE(QImageReader(path).format(), readAs);
        const QImage image(path);
        QCOMPARE(image.size(), QSize(640, 360));
    }

    void vectorFiles() {
        const QTemporaryDir dir;
        ChartControl control;
        fillChart(control);
        const test::DialogRecorderScope rec;
        rec->fileAnswers.push_back(dir.filePath(QStringLiteral("chart.svg")));
        rec->fileAnswers.push_back(dir.filePath(QStringLiteral("chart.pdf")));
        ChartExportDialog dialog(control);
        find<QComboBox>(dialog, "format")->setCurrentIndex(formatIndex("SVG drawing"));
        QVERIFY(dialog.exportNow());
        find<QComboBox>(dialog, "format")->setCurrentIndex(formatIndex("PDF document"));
        QVERIFY(dialog.exportNow());
        QVERIFY(rec->messages.isEmpty());
        QVERIFY(readAll(dir.filePath(QStringLiteral("chart.svg"))).contains("<svg"));
        QVERIFY(readAll(dir.filePath(QStringLiteral("chart.pdf"))).startsWith("%PDF"));
    }

    void dataToFileIsTheDataText_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("CSV") << "CSV data"
                             << "chart.csv";
        QTest::newRow("tab-separated") << "Tab-separated text"
                                       << "chart.txt";
    }
    void dataToFileIsTheDataText() {
        QFETCH(QString, format);
        QFETCH(QString, fileName);
        const QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        ChartControl control;
        fillChart(control);
        control.setSeriesLabel(3, QStringLiteral("Verlust, %"));
        control.setSeriesLabel(2, QStringLiteral("Mittel \"ø\""));
        const test::DialogRecorderScope rec;
        rec->fileAnswers.push_back(path);
        ChartExportDialog dialog(control);
        find<QComboBox>(dialog, "format")->setCurrentIndex(formatIndex(format));
        QVERIFY(dialog.exportNow());
        QVERIFY(rec->messages.isEmpty());

        const QString text = format == QLatin1String("CSV data") ? chartDataCsv(control.model())
                                                                 : chartDataTsv(control.model());
        QVERIFY(text.contains(QStringLiteral("ø")));
        QCOMPARE(readAll(path), text.toUtf8());
    }

    void toClipboard() {
        ChartControl control;
        fillChart(control);
        const test::DialogRecorderScope rec;
        ChartExportDialog dialog(control);
        dialog.show();
        auto* format = find<QComboBox>(dialog, "format");
        find<QRadioButton>(dialog, "toClipboard")->setChecked(true);
        QClipboard* clipboard = QGuiApplication::clipboard();

        format->setCurrentIndex(formatIndex("CSV data"));
        clipboard->clear();
        QVERIFY(dialog.exportNow());
        QCOMPARE(clipboard->text(), chartDataCsv(control.model()));

        format->setCurrentIndex(formatIndex("Tab-separated text"));
        QVERIFY(dialog.exportNow());
        QCOMPARE(clipboard->text(), chartDataTsv(control.model()));

        format->setCurrentIndex(formatIndex("PNG image"));
        find<QSpinBox>(dialog, "imageWidth")->setValue(320);
        find<QSpinBox>(dialog, "imageHeight")->setValue(200);
        QVERIFY(dialog.exportNow());
        QCOMPARE(clipboard->image().size(), QSize(320, 200));

        format->setCurrentIndex(formatIndex("SVG drawing"));
        QVERIFY(dialog.exportNow());
        QVERIFY(clipboard->mimeData()->data(QStringLiteral("image/svg+xml")).contains("<svg"));

        // Nothing asked for a file, nothing went wrong.
        QVERIFY(rec->fileRequests.isEmpty());
        QVERIFY(rec->messages.isEmpty());
    }

    void failedWriteIsReported_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<bool>("makeFolder");
        QTest::newRow("PNG, no such folder") << "PNG image"
                                             << "missing/chart.png" << false;
        QTest::newRow("CSV, no such folder") << "CSV data"
                                             << "missing/chart.csv" << false;
        QTest::newRow("PDF, no such folder") << "PDF document"
                                             << "missing/chart.pdf" << false;
        QTest::newRow("CSV onto a folder") << "CSV data"
                                           << "taken.csv" << true;
        QTest::newRow("SVG onto a folder") << "SVG drawing"
                                           << "taken.svg" << true;
    }
    void failedWriteIsReported() {
        QFETCH(QString, format);
        QFETCH(QString, relativePath);
        QFETCH(bool, makeFolder);
        const QTemporaryDir dir;
        const QString path = dir.filePath(relativePath);
        if (makeFolder)
            QVERIFY(QDir(dir.path()).mkdir(relativePath));
        ChartControl control;
        fillChart(control);
        const test::DialogRecorderScope rec;
        rec->fileAnswers.push_back(path);
        ChartExportDialog dialog(control);
        dialog.show();
        find<QComboBox>(dialog, "format")->setCurrentIndex(formatIndex(format));

        find<QPushButton>(dialog, "exportButton")->click();
        // The dialog stays for another try.
        QVERIFY(dialog.isVisible());
        QCOMPARE(rec->messages.size(), 1);
        const QString text = rec->messages[0].text;
        const QString start =
            QStringLiteral("Cannot export the chart to ") + QDir::toNativeSeparators(path);
        QVERIFY2(text.startsWith(start + QStringLiteral("\r\n")), qPrintable(text));
        QVERIFY(text.size() > start.size() + 2); // a reason follows
        QCOMPARE(rec->messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(QFileInfo(path).isFile(), false);

        rec->fileAnswers.push_back(path);
        QVERIFY(!dialog.exportNow());
        QCOMPARE(rec->messages.size(), 2);
    }

    void successfulExportClosesTheDialog() {
        const QTemporaryDir dir;
        ChartControl control;
        fillChart(control);
        const test::DialogRecorderScope rec;
        rec->fileAnswers.push_back(dir.filePath(QStringLiteral("chart.png")));
        ChartExportDialog dialog(control);
        dialog.show();
        find<QPushButton>(dialog, "exportButton")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("chart.png"))).size() > 0);
    }

    void cancelledFileDialogDoesNothing() {
        const QTemporaryDir dir;
        ChartControl control;
        fillChart(control);
        const test::DialogRecorderScope rec;
        rec->fileAnswers.push_back(QString()); // cancel
        ChartExportDialog dialog(control);
        dialog.show();
        find<QComboBox>(dialog, "format")->setCurrentIndex(formatIndex("CSV data"));
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));

        QVERIFY(!dialog.exportNow());
        QCOMPARE(rec->fileRequests.size(), 1);
        QVERIFY(rec->messages.isEmpty());
        QVERIFY(QDir(dir.path()).isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
        // The export button leaves the dialog open after a cancel.
        find<QPushButton>(dialog, "exportButton")->click();
        QVERIFY(dialog.isVisible());
        QVERIFY(rec->messages.isEmpty());
    }

    void fileNameGetsTheFormatsSuffix() {
        const QTemporaryDir dir;
        ChartControl control;
        fillChart(control);
        const test::DialogRecorderScope rec;
        ChartExportDialog dialog(control);

        // No suffix: the format's is added.
        rec->fileAnswers.push_back(dir.filePath(QStringLiteral("report")));
        QVERIFY(dialog.exportNow());
        QCOMPARE(QImageReader(dir.filePath(QStringLiteral("report.png"))).format(),
                 QByteArray("png"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("report"))));

        // A name the file dialog never showed is not replaced unasked.
        QFile old(dir.filePath(QStringLiteral("report.png")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        rec->fileAnswers.push_back(dir.filePath(QStringLiteral("report")));
        rec->replies.push_back(MessageReply::No);
        QVERIFY(!dialog.exportNow());
        QCOMPARE(rec->messages.size(), 1);
        QCOMPARE(rec->messages[0].icon, MessageIcon::Question);
        QVERIFY(rec->messages[0].text.contains(QStringLiteral("report.png")));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("report.png"))), QByteArray("old"));

        rec->fileAnswers.push_back(dir.filePath(QStringLiteral("report")));
        rec->replies.push_back(MessageReply::Yes);
        QVERIFY(dialog.exportNow());
        QCOMPARE(QImageReader(dir.filePath(QStringLiteral("report.png"))).format(),
                 QByteArray("png"));

        // The chosen name already has the suffix: the file dialog asked.
        rec->fileAnswers.push_back(dir.filePath(QStringLiteral("report.png")));
        QVERIFY(dialog.exportNow());
        QCOMPARE(rec->messages.size(), 2);
    }
};

QTEST_MAIN(TestChartDialogs)
#include "test_chartdialogs.moc"

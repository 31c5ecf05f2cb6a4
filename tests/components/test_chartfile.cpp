#include "ChartBuilder.h"
#include "components/chart/ChartDataText.h"
#include "components/chart/ChartFile.h"
#include "core/DateValue.h"

#include <QDataStream>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>

using namespace tarnvue;
using namespace Qt::StringLiterals;

namespace {

// The file layout as the tests see it, written independently of the reader:
// 8-byte magic, version, file size, tagged sections, CRC-32 of the rest.
constexpr qsizetype HeaderSize = 16;

quint32 le32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

void putLe32(QByteArray& bytes, qsizetype at, quint32 value) {
    qToLittleEndian(value, bytes.data() + at);
}

QByteArray le32Bytes(quint32 value) {
    QByteArray bytes(4, '\0');
    putLe32(bytes, 0, value);
    return bytes;
}

// The standard CRC-32, bit by bit.
quint32 referenceCrc32(QByteArrayView bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= static_cast<unsigned char>(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Gives a changed file a matching size field and checksum again, so that the
// reader gets past them to the part under test.
QByteArray reseal(QByteArray bytes) {
    if (bytes.size() < HeaderSize + 4)
        return bytes;
    putLe32(bytes, 12, quint32(bytes.size()));
    putLe32(bytes, bytes.size() - 4, referenceCrc32(QByteArrayView(bytes).chopped(4)));
    return bytes;
}

struct Section {
    QByteArray tag;
    QByteArray payload;
};

QList<Section> sectionsOf(const QByteArray& file) {
    QList<Section> sections;
    for (qsizetype pos = HeaderSize; pos < file.size() - 4;) {
        const qsizetype length = le32(file, pos + 4);
        sections.append({file.mid(pos, 4), file.mid(pos + 8, length)});
        pos += 8 + length;
    }
    return sections;
}

QByteArray assemble(quint32 version, const QList<Section>& sections) {
    QByteArray bytes("NVCHART\x1a", 8);
    bytes += le32Bytes(version) + le32Bytes(0);
    for (const Section& section : sections)
        bytes += section.tag + le32Bytes(quint32(section.payload.size())) + section.payload;
    return reseal(bytes + le32Bytes(0));
}

QByteArray withSections(const QByteArray& file, const std::function<void(QList<Section>&)>& edit) {
    QList<Section> sections = sectionsOf(file);
    edit(sections);
    return assemble(1, sections);
}

QByteArray withConfig(const QByteArray& file, const std::function<void(QJsonObject&)>& edit) {
    return withSections(file, [&edit](QList<Section>& sections) {
        QJsonObject config = QJsonDocument::fromJson(sections[0].payload).object();
        edit(config);
        sections[0].payload = QJsonDocument(config).toJson();
    });
}

// A configuration with one setting replaced (or removed, for an undefined value).
QByteArray withSetting(const QByteArray& file, const char* key, const QJsonValue& value) {
    return withConfig(file, [&](QJsonObject& c) {
        if (value.isUndefined())
            c.remove(QLatin1String(key));
        else
            c.insert(QLatin1String(key), value);
    });
}

// Every kind of field the file keeps, at its awkward values: float and
// double specials, colours of every model, quotes, line breaks and
// non-ASCII text, both annotations, a zoomed view.
ChartModel richModel() {
    ChartModel m = test::chartOf(test::sampleValues(96), 15, 45360.0 + 1.0 / 3.0);
    const float specials[] = {0.1f,     1e-3f,   65535.5f, -0.0f,       1e-45f,   FLT_MAX,
                              -FLT_MAX, FLT_MIN, 1.0f / 3, 16777215.0f, -1.0001f, 1.17549421e-38f};
    for (std::size_t i = 0; i < std::size(specials); ++i)
        m.setValue(int(i % 4), int(i * 5), specials[i]);
    m.visiblePointCount = 24;
    m.firstVisiblePoint = 25;
    const QString labels[] = {"Minimum, ms", "Say \"hi\"", "Zürich – 東京 🙂", ""};
    const QColor colors[] = {QColor(10, 20, 30, 40), QColor::fromRgbF(0.123f, 0.456f, 0.789f, 0.5f),
                             QColor::fromHsv(300, 200, 100, 128), QColor()};
    const double widths[] = {0.1, 2.75, 0.0, 100.0};
    for (std::size_t s = 0; s < 4; ++s) {
        m.series[s].label = labels[s];
        m.series[s].color = colors[s];
        m.series[s].lineWidth = widths[s];
        m.series[s].lineType = LineType((s + 1) % 4);
    }
    m.series[1].visible = false;
    m.series[3].plotStyle = PlotStyle::Steps;
    m.series[3].heading = u"Loss (%)"_s;
    m.series[3].decimals = 0;
    m.plotStyle = PlotStyle::Bars;
    m.mainTitle = u"||router1"_s;
    m.subTitle.clear();
    m.xAxisLabel = u"x, \"axis\"\r\nsecond line"_s;
    m.footer = u"Tarnvue 1.0 – ünïcode"_s;
    m.leftLabel = u"ms"_s;
    m.leftColor = QColor::fromCmyk(10, 20, 30, 40, 50);
    m.leftManual = true;
    m.leftMin = -0.0;
    m.leftMax = 0.1;
    m.rightLabel = u"%"_s;
    m.rightColor = QColor::fromRgbF(1.5f, -0.25f, 0.5f); // extended range
    m.rightTickFormat = u"||%"_s;
    m.rightMin = 5e-324;
    m.annotations[0] = {true,           12.345678901234567,    0, QColor::fromHsl(120, 50, 60, 70),
                        LineType::Dash, u"|lAverage 12.3 ms"_s};
    m.annotations[1] = {
        true, 1e-300, 1, QColor(Qt::transparent), LineType::DashDot, u"Loss, \"%\""_s};
    m.fontSize = FontSmall;
    m.tableMode = TableGraphWithTable;
    m.gridLines = false;
    m.legend = LegendPosition::Right;
    return m;
}

// A rich model with an outage still going on, a stretch without data, the
// shading switched off, and the buckets' response time spread (not shown).
ChartModel shadedModel() {
    ChartModel m = richModel();
    m.shapes.resize(96, {2.5f, 10.25f, 40.0f, 1.5f, 60, 59});
    m.shapes[7] = {-1, -1, -1, -1, 7, 0}; // only lost polls
    m.shading = {{ShadedStretch::Outage, 46000.25, 46000.3125, false, 5400, 90},
                 {ShadedStretch::NoData, 46000.5, 46000.75, false, 21600, 0},
                 {ShadedStretch::Outage, 46001.1, 46001.1 + 1.0 / 3, true, 28800, 480}};
    m.showShading = false;
    m.availability = u"97.250 %"_s;
    return m;
}

ChartModel largestModel() {
    ChartModel m;
    m.resize(ChartFileMaxSeries, ChartFileMaxPoints);
    for (std::size_t i = 0; i < m.values.size(); ++i)
        m.values[i] = float(i % 1000) * 0.5f;
    m.firstVisiblePoint = ChartFileMaxPoints;
    m.visiblePointCount = 1;
    return m;
}

// Everything operator== lets slip: float and double bits (-0 equals 0) and
// the raw fields of extended-range colours (compared with a tolerance).
void compareExactly(const ChartModel& actual, const ChartModel& expected) {
    QCOMPARE(actual, expected);
    const auto raw = [](const ChartModel& m) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << m.missingValue << m.leftMin << m.rightMin << m.firstPointTime << m.leftColor
            << m.rightColor;
        for (const Annotation& a : m.annotations)
            out << a.value << a.color;
        for (float value : m.values)
            out << value;
        for (const SeriesStyle& style : m.series)
            out << style.lineWidth << style.color;
        return bytes;
    };
    QCOMPARE(raw(actual), raw(expected));
}

// A rich model changed in one place, encoded without any check.
QByteArray encodedWith(const std::function<void(ChartModel&)>& change) {
    ChartModel m = richModel();
    change(m);
    return encodeChartFile(m);
}

QString damaged(const QString& why) {
    return u"The chart file is damaged: "_s + why + u'.';
}

QString invalid(const QString& why) {
    return u"The chart file holds an invalid chart: "_s + why + u'.';
}

ChartModel labelled(const QStringList& labels, int points = 0) {
    ChartModel model;
    model.resize(int(labels.size()), points);
    for (int s = 0; s < labels.size(); ++s)
        model.series[std::size_t(s)].label = labels[s];
    return model;
}

} // namespace

Q_DECLARE_METATYPE(tarnvue::ChartModel)

class TestChartFile : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // Saved over another chart and loaded back, a chart is the same to the bit.
    // A chart written, or a file that an older or a newer version wrote, reads
    // back to the bit; saved over another chart and loaded, it is the same.
    void readerAccepts_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ChartModel>("expected");
        const ChartModel rich = richModel();
        const QByteArray file = encodeChartFile(rich);
        QTest::newRow("rich model: odd floats, colours, both annotations") << file << rich;
        QTest::newRow("empty model") << encodeChartFile(ChartModel()) << ChartModel();
        QTest::newRow("largest chart, zoomed to its last point")
            << encodeChartFile(largestModel()) << largestModel();
        QTest::newRow("outages, a gap, shading off, spread")
            << encodeChartFile(shadedModel()) << shadedModel();
        ChartModel switched = rich;
        switched.latency = {true, false, true, false, true};
        QTest::newRow("spread figures switched on, none known")
            << encodeChartFile(switched) << switched;
        QTest::newRow("unknown optional section") << withSections(file, [](QList<Section>& s) {
            s.insert(1, Section{QByteArray("xtra"), QByteArray(100, 'z')});
        }) << rich;
        QTest::newRow("unknown setting")
            << withSetting(file, "laterSetting", QJsonObject{{"a", 1}}) << rich;
        QTest::newRow("file from before shading and spread")
            << withSections(encodeChartFile(shadedModel()), [](QList<Section>& s) { s.resize(2); })
            << rich;
        // Before each series had its own style and table column, and when
        // day buckets were one minute short.
        ChartModel earlier = rich;
        for (SeriesStyle& style : earlier.series) {
            style.plotStyle = rich.plotStyle;
            style.heading.clear();
            style.decimals = 1;
        }
        earlier.minutesPerPoint = 1439;
        QTest::newRow("file from before series styles") << withConfig(file, [](QJsonObject& c) {
            QJsonArray series = c.value("series"_L1).toArray();
            for (QJsonValueRef entry : series) {
                QJsonObject style = entry.toObject();
                for (const char* key : {"plotStyle", "heading", "decimals"})
                    style.remove(QLatin1String(key));
                entry = style;
            }
            c.insert("series"_L1, series);
            c.insert("minutesPerPoint"_L1, 1439);
        }) << earlier;
    }
    void readerAccepts() {
        QFETCH(QByteArray, bytes);
        QFETCH(ChartModel, expected);
        QString error;
        const std::optional<ChartModel> decoded = decodeChartFile(bytes, &error);
        QVERIFY2(decoded.has_value(), qPrintable(error));
        compareExactly(*decoded, expected);

        QTemporaryDir dir;
        const QString path = dir.filePath(u"chart.nvc"_s);
        QVERIFY(saveChartFile(shadedModel(), path, nullptr));
        QVERIFY2(saveChartFile(expected, path, &error), qPrintable(error));
        const std::optional<ChartModel> loaded = loadChartFile(path, &error);
        QVERIFY2(loaded.has_value(), qPrintable(error));
        compareExactly(*loaded, expected);
    }

    // What the message box says about a file that cannot be opened.
    void readerRefuses_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("description");
        const QByteArray file = encodeChartFile(richModel());
        const qsizetype size = file.size();
        const auto flipped = [&](qsizetype at) {
            QByteArray bytes = file;
            bytes[at] = char(bytes[at] ^ 0x10);
            return bytes;
        };
        const auto cut = [&](qsizetype at) {
            return u"The chart file is incomplete: it ends after %1 of its %2 bytes."_s.arg(at).arg(
                size);
        };
        const QString newer =
            QStringLiteral("The chart file was written by a newer version of "
                           "Tarnvue (file format 2; this version reads format 1).");
        const QString checksum = damaged("its contents do not match their checksum");
        const QString notChart = u"The file is not a Tarnvue chart file."_s;
        const auto series = [](QJsonObject& c) {
            QJsonArray list = c.value("series"_L1).toArray();
            list.append(list[0]);
            c.insert("series"_L1, list);
        };
        const auto hsv =
            QJsonObject{{"model", int(QColor::Hsv)}, {"fields", QJsonArray{65535, 40000, 0, 0, 0}}};
        ChartModel crowded = shadedModel();
        crowded.shading.resize(ChartFileMaxStretches + 1, crowded.shading[0]);

        QTest::newRow("empty") << QByteArray() << u"The file is empty."_s;
        QTest::newRow("flipped magic") << flipped(2) << notChart;
        QTest::newRow("cut before the last byte") << file.chopped(1) << cut(size - 1);
        QTest::newRow("a byte more")
            << file + 'x'
            << damaged(u"it is %1 bytes long but should be %2"_s.arg(size + 1).arg(size));
        QTest::newRow("flipped configuration byte") << flipped(40) << checksum;
        QTest::newRow("newer version, with its own checksum") << [&] {
            QByteArray bytes = file;
            putLe32(bytes, 8, 2);
            return bytes;
        }() << newer;
        QTest::newRow("unknown required section")
            << withSections(file,
                            [](QList<Section>& s) {
                                s.append(Section{"XTRA", "x"});
                            })
            << "The chart file was written by a newer version of Tarnvue: it holds parts this "
               "version does not know.";
        QTest::newRow("no data section")
            << withSections(file, [](QList<Section>& s) { s.removeLast(); })
            << damaged("it has no data section");
        QTest::newRow("two data sections")
            << withSections(file, [](QList<Section>& s) { s.append(s.last()); })
            << damaged("it holds two data sections");
        QTest::newRow("section past the end") << reseal([&] {
            QByteArray bytes = file;
            putLe32(bytes, HeaderSize + 4, 0xFFFFFFFFu);
            return bytes;
        }()) << damaged("a section runs past the end of the file");
        QTest::newRow("configuration not JSON")
            << withSections(file, [](QList<Section>& s) { s[0].payload = "{\"fontSize\": "; })
            << damaged("its configuration cannot be read");
        QTest::newRow("missing setting") << withSetting(file, "fontSize", QJsonValue::Undefined)
                                         << damaged("the setting \"fontSize\" is missing");
        QTest::newRow("fractional count")
            << withSetting(file, "visiblePointCount", 2.5)
            << damaged("the setting \"visiblePointCount\" is not a whole number");
        QTest::newRow("series described twice")
            << withConfig(file, series) << damaged("it describes 5 series but holds values for 4");
        QTest::newRow("counts at the top of 32 bits") << withSections(file, [](QList<Section>& s) {
            s[1].payload = le32Bytes(0xFFFFFFFFu) + le32Bytes(0xFFFFFFFFu);
        }) << u"The chart file claims 4294967295 series; a chart has at most 16."_s;
        QTest::newRow("NaN value") << encodedWith([](ChartModel& m) { m.setValue(2, 50, NAN); })
                                   << invalid("the value of series 3 at point 51 is not a finite "
                                              "number");
        QTest::newRow("plot style 4")
            << encodedWith([](ChartModel& m) { m.plotStyle = PlotStyle(4); })
            << invalid("the plot style 4 is unknown");
        QTest::newRow("zoom past the end")
            << encodedWith([](ChartModel& m) { m.firstVisiblePoint = 74; })
            << invalid("the first visible point 74 does not fit 24 visible of 96 points");
        QTest::newRow("no minutes per point")
            << encodedWith([](ChartModel& m) { m.minutesPerPoint = 0; })
            << invalid("the minutes per point 0 are fewer than 1");
        QTest::newRow("spread of another bucket count")
            << encodedWith([](ChartModel& m) { m.shapes.resize(95); })
            << damaged("its response time spread holds 95 buckets for 96 points");
        QTest::newRow("too many stretches")
            << encodeChartFile(crowded)
            << damaged("it claims 100001 shaded stretches; a chart has at most 100000");
    }
    void readerRefuses() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, description);
        QString error;
        QVERIFY(!decodeChartFile(bytes, &error).has_value());
        QCOMPARE(error, description);
    }

    // Random damage, most of it with a repaired checksum so that it reaches
    // the section, JSON and model checks: the reader must refuse or return a
    // chart that keeps every rule, and never crash or hang.
    // TARNVUE_FUZZ_ROUNDS sets the number of damaged files (3000 by default).
    void mutatedFilesAreRefusedOrValid() {
        const int rounds = qEnvironmentVariableIsSet("TARNVUE_FUZZ_ROUNDS")
                               ? qEnvironmentVariableIntValue("TARNVUE_FUZZ_ROUNDS")
                               : 3000;
        ChartModel model = shadedModel();
        model.resize(4, 12);
        model.shapes.resize(12);
        for (std::size_t i = 0; i < model.values.size(); ++i)
            model.values[i] = i % 5 == 0 ? -1.0f : float(i) * 0.37f;
        const QByteArray base = encodeChartFile(model);
        QList<qsizetype> lengthFields{12};
        for (qsizetype pos = HeaderSize; pos < base.size() - 4; pos += 8 + le32(base, pos + 4)) {
            lengthFields.append(pos + 4);
            if (base.mid(pos, 4) == "DATA")
                lengthFields << pos + 8 << pos + 12;
        }

        std::mt19937 random(20240611);
        const auto below = [&](qsizetype n) {
            return qsizetype(random() % quint32(std::max<qsizetype>(n, 1)));
        };
        int parsedAndRefused = 0;
        int accepted = 0;
        for (int round = 0; round < rounds; ++round) {
            QByteArray bytes = base;
            switch (round % 6) {
            case 0:
                for (int n = 0; n < 1 + round % 4; ++n)
                    bytes[below(bytes.size())] = char(random());
                break;
            case 1:
                bytes.truncate(below(bytes.size()));
                break;
            case 2:
                for (int n = 0; n < 1 + round % 16; ++n)
                    bytes.insert(below(bytes.size() + 1), char(random()));
                break;
            case 3: {
                const quint32 huge[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u,
                                        quint32(bytes.size() + 1), quint32(random())};
                putLe32(bytes, lengthFields[below(lengthFields.size())], huge[below(5)]);
                break;
            }
            case 4:
                bytes.remove(below(bytes.size()), 1 + below(64));
                break;
            case 5: {
                const QByteArray chunk = bytes.mid(below(bytes.size()), 1 + below(32));
                bytes.replace(below(bytes.size()), chunk.size(), chunk);
                break;
            }
            }
            const bool resealed = round % 5 != 0;
            if (resealed)
                bytes = reseal(bytes);

            QString error;
            const std::optional<ChartModel> decoded = decodeChartFile(bytes, &error);
            const QByteArray context = "round " + QByteArray::number(round);
            if (decoded) {
                ++accepted;
                QVERIFY2(chartFileProblem(*decoded).isEmpty(), context.constData());
                const std::optional<ChartModel> again =
                    decodeChartFile(encodeChartFile(*decoded), nullptr);
                QVERIFY2(again && *again == *decoded, context.constData());
            } else {
                QVERIFY2(error.endsWith(u'.'), context.constData());
                if (resealed && !error.contains("checksum"_L1) && !error.contains("incomplete"_L1))
                    ++parsedAndRefused;
            }
        }
        // Most damage must have got past the checksum, or this test tests
        // nothing but the checksum.
        QVERIFY2(parsedAndRefused > rounds / 3, qPrintable(QString::number(parsedAndRefused)));
        QVERIFY(accepted > 0);
    }

    // A save that fails says why and leaves the chart saved before as it was,
    // with no temporary copy beside it.
    void failedSaveKeepsTheOldFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("fontSize");
        QTest::addColumn<QString>("reason");
        // The temporary copy's name is longer than the file system allows,
        // which stops root as well as anyone.
        QTest::newRow("no room for the temporary copy's name")
            << QString(250, u'n') + ".nvc" << 0 << u"The chart file cannot be written: "_s;
        QTest::newRow("chart breaks the rules")
            << u"chart.nvc"_s << 7
            << u"The chart cannot be saved: the font size 7 is not 0, 1 or 2."_s;
    }
    void failedSaveKeepsTheOldFile() {
        QFETCH(QString, name);
        QFETCH(int, fontSize);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QFile file(dir.filePath(name));
        const QByteArray before = encodeChartFile(richModel());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        file.close();
        ChartModel other = test::chartOf(test::sampleValues(4));
        other.fontSize = fontSize;
        QString error;
        QVERIFY(!saveChartFile(other, file.fileName(), &error));
        QVERIFY2(error.startsWith(reason) && error.endsWith(u'.'), qPrintable(error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name});
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    // A file too large is refused by its size, unread.
    void oversizedFileIsRefused() {
        QTemporaryDir dir;
        QFile huge(dir.filePath(u"huge.nvc"_s)); // sparse: its blocks are not over the limit
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(ChartFileMaxBytes + 1));
        QString error;
        QVERIFY(!loadChartFile(huge.fileName(), &error));
        QCOMPARE(error, u"The file is too large to be a chart file (%1 bytes; a chart file holds "
                        "at most %2)."_s.arg(ChartFileMaxBytes + 1)
                            .arg(ChartFileMaxBytes));
    }

    // The data text --------------------------------------------------------------

    // A spreadsheet must find the same columns as the chart has series.
    void headerLine_data() {
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QString>("tsv");
        QTest::newRow("comma quotes") << QStringList{"Min, ms", "Max"} << u"Time,\"Min, ms\",Max"_s
                                      << u"Time\tMin, ms\tMax"_s;
        QTest::newRow("quote doubled") << QStringList{"The \"best\""}
                                       << u"Time,\"The \"\"best\"\"\""_s << u"Time\tThe \"best\""_s;
        QTest::newRow("line breaks")
            << QStringList{"two\r\nlines", "cr\ronly"} << u"Time,\"two\r\nlines\",\"cr\ronly\""_s
            << u"Time\ttwo  lines\tcr only"_s;
    }
    void headerLine() {
        QFETCH(QStringList, labels);
        QFETCH(QString, csv);
        QFETCH(QString, tsv);
        QCOMPARE(chartDataCsv(labelled(labels)), csv + "\r\n");
        QCOMPARE(chartDataTsv(labelled(labels)), tsv + "\r\n");
    }

    // A bucket's time is its start rounded to the minute.
    void pointTime_data() {
        QTest::addColumn<double>("first");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("point");
        QTest::addColumn<QString>("expected");
        const auto at = [](int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
            return DateValue::fromDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
        };
        QTest::newRow("1439 min, 100 over a leap day")
            << at(2024, 1, 1, 0, 0) << 1439 << 100 << u"2024-04-09 22:20"_s;
        QTest::newRow("1 ms short of a minute rounds up")
            << at(2024, 5, 1, 9, 59, 59, 999) << 1 << 0 << u"2024-05-01 10:00"_s;
        QTest::newRow("29 s round down")
            << at(2024, 5, 1, 9, 59, 29) << 1 << 0 << u"2024-05-01 09:59"_s;
        QTest::newRow("23:59:30 is the next day")
            << at(2024, 2, 29, 23, 59, 30) << 1 << 0 << u"2024-03-01 00:00"_s;
    }
    void pointTime() {
        QFETCH(double, first);
        QFETCH(int, minutes);
        QFETCH(int, point);
        QFETCH(QString, expected);
        ChartModel model = test::chartOf({QList<float>(point + 1, 12.5f)}, minutes, first);
        const QStringList lines = chartDataCsv(model).split("\r\n"_L1);
        QCOMPARE(lines.size(), point + 3); // header, points, nothing after the last CR LF
        QCOMPARE(lines[point + 1], expected + ",12.5");
    }

    // Missing buckets are empty fields; values next to the marker are values;
    // the user's language changes neither digits, separators nor dates.
    void wholeTextIsExact_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("German") << QLocale(QLocale::German);
        QTest::newRow("Arabic digits") << QLocale(QLocale::Arabic, QLocale::Egypt);
    }
    void wholeTextIsExact() {
        QFETCH(QLocale, locale);
        ChartModel model =
            test::chartOf({{1.5f, -1.0f, 0.1f}, {-1.0000001f, 1234567.0f, -1.0f}}, 30,
                          DateValue::fromDateTime(QDate(2024, 12, 31), QTime(23, 0)));
        model.series[0].label = u"Min, ms"_s;
        QLocale::setDefault(locale);
        QCOMPARE(chartDataCsv(model), QStringLiteral("Time,\"Min, ms\",Maximum\r\n"
                                                     "2024-12-31 23:00,1.5,-1.0000001\r\n"
                                                     "2024-12-31 23:30,,1234567\r\n"
                                                     "2025-01-01 00:00,0.1,\r\n"));
        QCOMPARE(chartDataTsv(model), QStringLiteral("Time\tMin, ms\tMaximum\r\n"
                                                     "2024-12-31 23:00\t1.5\t-1.0000001\r\n"
                                                     "2024-12-31 23:30\t\t1234567\r\n"
                                                     "2025-01-01 00:00\t0.1\t\r\n"));
    }

    // Fixed notation with the fewest digits that read back exactly; an empty
    // expectation only asks for the read-back.
    void shortestFloatText_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0.1") << 0.1f << u"0.1"_s;
        QTest::newRow("a third") << 1.0f / 3.0f << u"0.33333334"_s;
        QTest::newRow("negative zero") << -0.0f << u"-0"_s;
        QTest::newRow("a millionth") << 1e-6f << u"0.000001"_s;
        QTest::newRow("ten billion") << 1e10f << u"10000000000"_s;
        QTest::newRow("largest float") << FLT_MAX << u""_s;
        QTest::newRow("smallest subnormal") << 1e-45f << u""_s;
    }
    void shortestFloatText() {
        QFETCH(float, value);
        QFETCH(QString, expected);
        const QString text = tarnvue::shortestFloatText(value);
        if (!expected.isEmpty())
            QCOMPARE(text, expected);
        QVERIFY(!text.contains(u'e') && text.size() < 50);
        QCOMPARE(std::strtof(text.toLatin1().constData(), nullptr), value);
    }
};

QTEST_APPLESS_MAIN(TestChartFile)
#include "test_chartfile.moc"

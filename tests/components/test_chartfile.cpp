#include "components/chart/ChartFile.h"

#include <QDataStream>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <bit>
#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

using namespace tarnvue;

namespace {

// The file layout as the tests see it, written independently of the reader:
// 8-byte magic, version, file size, tagged sections, CRC-32 of the rest.
constexpr qsizetype HeaderSize = 16;

quint32 le32(const QByteArray& bytes, qsizetype at) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void putLe32(QByteArray& bytes, qsizetype at, quint32 value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
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

QJsonObject configOf(const QByteArray& file) {
    for (const Section& section : sectionsOf(file)) {
        if (section.tag == "CONF")
            return QJsonDocument::fromJson(section.payload).object();
    }
    return {};
}

QByteArray withConfig(const QByteArray& file, const std::function<void(QJsonObject&)>& edit) {
    QList<Section> sections = sectionsOf(file);
    for (Section& section : sections) {
        if (section.tag == "CONF") {
            QJsonObject config = QJsonDocument::fromJson(section.payload).object();
            edit(config);
            section.payload = QJsonDocument(config).toJson();
        }
    }
    return assemble(1, sections);
}

QByteArray withSections(const QByteArray& file, const std::function<void(QList<Section>&)>& edit) {
    QList<Section> sections = sectionsOf(file);
    edit(sections);
    return assemble(1, sections);
}

QByteArray rawColor(const QColor& color) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << color;
    return bytes;
}

ChartModel richModel() {
    ChartModel m;
    m.resize(4, 96);
    const float specials[] = {0.1f,     1e-3f,    65535.5f, -0.0f,          1e-45f,
                              FLT_MAX,  -FLT_MAX, FLT_MIN,  1.0f / 3.0f,    16777215.0f,
                              -1.0001f, 0.0f,     100.0f,   1.17549421e-38f};
    for (int s = 0; s < 4; ++s) {
        for (int p = 0; p < 96; ++p)
            m.setValue(s, p, (p + s) % 7 == 0 ? -1.0f : float(s * 10) + float(p) * 0.37f);
    }
    for (std::size_t i = 0; i < std::size(specials); ++i)
        m.setValue(int(i % 4), int(i * 5), specials[i]);
    m.visiblePointCount = 24;
    m.firstVisiblePoint = 25;

    const auto style = [](const QString& label, const QColor& color, bool visible, double width,
                          LineType type) {
        SeriesStyle s;
        s.label = label;
        s.color = color;
        s.visible = visible;
        s.lineWidth = width;
        s.lineType = type;
        return s;
    };
    m.series[0] =
        style(QStringLiteral("Minimum, ms"), QColor(10, 20, 30, 40), true, 0.1, LineType::Dash);
    m.series[1] = style(QStringLiteral("Say \"hi\""),
                        QColor::fromRgbF(0.123f, 0.456f, 0.789f, 0.5f), false, 2.75, LineType::Dot);
    m.series[2] = style(QStringLiteral("Zürich – 東京 🙂"),
                        QColor::fromHsv(300, 200, 100, 128), true, 0.0, LineType::DashDot);
    m.series[3] = style(QString(), QColor(), true, 100.0, LineType::Solid);
    m.series[3].plotStyle = PlotStyle::Steps;
    m.series[3].heading = QStringLiteral("Loss (%)");
    m.series[3].decimals = 0;

    m.plotStyle = PlotStyle::Bars;
    m.rightAxisSeries = 1;
    m.mainTitle = QStringLiteral("||router1");
    m.subTitle = QString();
    m.xAxisLabel = QStringLiteral("x, \"axis\"\r\nsecond line");
    m.footer = QStringLiteral("Tarnvue 1.0 – ünïcode");
    m.leftLabel = QStringLiteral("ms");
    m.leftColor = QColor::fromCmyk(10, 20, 30, 40, 50);
    m.leftTickFormat = QStringLiteral("||");
    m.leftManual = true;
    m.leftMin = -0.0;
    m.leftMax = 0.1;
    m.rightLabel = QStringLiteral("%");
    m.rightColor = QColor::fromRgbF(1.5f, -0.25f, 0.5f); // extended range
    m.rightTickFormat = QStringLiteral("||%");
    m.rightManual = true;
    m.rightMin = 5e-324;
    m.rightMax = 101;
    m.minutesPerPoint = 15;
    m.pointsPerDay = 96;
    m.firstPointTime = 45360.0 + 1.0 / 3.0;
    m.annotations[0] = {true,
                        12.345678901234567,
                        0,
                        QColor::fromHsl(120, 50, 60, 70),
                        LineType::Dash,
                        QStringLiteral("|lAverage 12.3 ms")};
    m.annotations[1] = {
        true, 1e-300, 1, QColor(Qt::transparent), LineType::DashDot, QStringLiteral("Loss, \"%\"")};
    m.showAnnotations = true;
    m.fontSize = FontSmall;
    m.tableMode = TableGraphWithTable;
    m.gridLines = false;
    m.legend = LegendPosition::Right;
    return m;
}

// Everything operator== lets slip: float and double bits (-0 equals 0) and
// the raw fields of extended-range colours (compared with a tolerance).
void compareExactly(const ChartModel& actual, const ChartModel& expected) {
    QCOMPARE(actual, expected);
    for (std::size_t i = 0; i < expected.values.size(); ++i)
        QCOMPARE(std::bit_cast<quint32>(actual.values[i]),
                 std::bit_cast<quint32>(expected.values[i]));
    QCOMPARE(std::bit_cast<quint32>(actual.missingValue),
             std::bit_cast<quint32>(expected.missingValue));
    const auto bits = [](const ChartModel& m) {
        QList<quint64> list{std::bit_cast<quint64>(m.leftMin),
                            std::bit_cast<quint64>(m.leftMax),
                            std::bit_cast<quint64>(m.rightMin),
                            std::bit_cast<quint64>(m.rightMax),
                            std::bit_cast<quint64>(m.pointsPerDay),
                            std::bit_cast<quint64>(m.firstPointTime),
                            std::bit_cast<quint64>(m.annotations[0].value),
                            std::bit_cast<quint64>(m.annotations[1].value)};
        for (const SeriesStyle& style : m.series)
            list.append(std::bit_cast<quint64>(style.lineWidth));
        return list;
    };
    QCOMPARE(bits(actual), bits(expected));
    const auto colors = [](const ChartModel& m) {
        QList<QByteArray> list{rawColor(m.leftColor), rawColor(m.rightColor),
                               rawColor(m.annotations[0].color), rawColor(m.annotations[1].color)};
        for (const SeriesStyle& style : m.series)
            list.append(rawColor(style.color));
        return list;
    };
    QCOMPARE(colors(actual), colors(expected));
}

ChartModel emptyModel() {
    return ChartModel();
}

ChartModel seriesWithoutPoints() {
    ChartModel m;
    m.resize(4, 0);
    m.series[1].label = QStringLiteral("kept");
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

// A rich model with an outage still going on, a stretch without data and
// the shading switched off.
ChartModel shadedModel() {
    ChartModel m = richModel();
    m.shading = {{ShadedStretch::Outage, 46000.25, 46000.3125, false, 5400, 90},
                 {ShadedStretch::NoData, 46000.5, 46000.75, false, 21600, 0},
                 {ShadedStretch::Outage, 46001.1, 46001.1 + 1.0 / 3, true, 28800, 480}};
    m.showShading = false;
    m.availability = QStringLiteral("97.250 %");
    return m;
}

// A rich model changed in one place, encoded without any check.
QByteArray encodedWith(const std::function<void(ChartModel&)>& change) {
    ChartModel m = richModel();
    change(m);
    return encodeChartFile(m);
}

} // namespace

Q_DECLARE_METATYPE(tarnvue::ChartModel)

class TestChartFile : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data() {
        QTest::addColumn<ChartModel>("model");
        QTest::newRow("rich model: odd floats, colours, both annotations") << richModel();
        QTest::newRow("empty model") << emptyModel();
        QTest::newRow("four series without points") << seriesWithoutPoints();
        QTest::newRow("largest chart, zoomed to its last point") << largestModel();
        QTest::newRow("outages, a gap, shading off") << shadedModel();
    }
    void roundTrip() {
        QFETCH(ChartModel, model);
        QVERIFY2(chartFileProblem(model).isEmpty(), qPrintable(chartFileProblem(model)));

        QString error;
        const std::optional<ChartModel> decoded = decodeChartFile(encodeChartFile(model), &error);
        QVERIFY2(decoded.has_value(), qPrintable(error));
        compareExactly(*decoded, model);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("chart.nvc"));
        QVERIFY2(saveChartFile(model, path, &error), qPrintable(error));
        const std::optional<ChartModel> loaded = loadChartFile(path, &error);
        QVERIFY2(loaded.has_value(), qPrintable(error));
        compareExactly(*loaded, model);
    }

    void layoutIsTheDocumentedOne() {
        const QByteArray file = encodeChartFile(richModel());
        QCOMPARE(file.left(8), QByteArray("NVCHART\x1a", 8));
        QCOMPARE(le32(file, 8), 1u);
        QCOMPARE(le32(file, 12), quint32(file.size()));
        // Rebuilding from the sections with an independent CRC-32 gives the
        // same bytes: the checksum is the standard one over the whole file.
        QCOMPARE(assemble(1, sectionsOf(file)), file);
        const QList<Section> sections = sectionsOf(file);
        QCOMPARE(sections.size(), 2);
        QCOMPARE(sections[1].tag, QByteArray("DATA"));
        QCOMPARE(le32(sections[1].payload, 0), 4u);
        QCOMPARE(le32(sections[1].payload, 4), 96u);
        const QJsonObject config = configOf(file);
        QCOMPARE(config.value(QLatin1String("mainTitle")).toString(), QStringLiteral("||router1"));
        QCOMPARE(config.value(QLatin1String("leftMin")).toString(), QStringLiteral("-0"));
    }

    void readerAccepts_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ChartModel>("expected");
        const ChartModel rich = richModel();
        const QByteArray file = encodeChartFile(rich);
        QTest::newRow("unknown optional section is skipped")
            << withSections(file,
                            [](QList<Section>& s) {
                                s.insert(1, Section{QByteArray("xtra"), QByteArray(100, 'z')});
                            })
            << rich;
        QTest::newRow("sections in the other order")
            << withSections(file, [](QList<Section>& s) { std::swap(s[0], s[1]); }) << rich;
        QTest::newRow("unknown setting is ignored") << withConfig(file, [](QJsonObject& c) {
            c.insert(QLatin1String("laterSetting"), QJsonObject{{"a", 1}});
        }) << rich;
        ChartModel opaqueLeft = rich;
        opaqueLeft.leftColor = QColor(10, 20, 30);
        QTest::newRow("plain colour written in capitals") << withConfig(file, [](QJsonObject& c) {
            c.insert(QLatin1String("leftColor"), QStringLiteral("#FF0A141E"));
        }) << opaqueLeft;
        ChartModel longFooter = rich;
        longFooter.footer = QString(4095, QLatin1Char('f')) + QChar(0x2026);
        QTest::newRow("huge footer is cut") << withConfig(file, [](QJsonObject& c) {
            c.insert(QLatin1String("footer"), QString(5000000, QLatin1Char('f')));
        }) << longFooter;
        QTest::newRow("file from before shading") << withSections(
            encodeChartFile(shadedModel()), [](QList<Section>& s) { s.removeLast(); }) << rich;
    }
    // Files of earlier versions: series without their own style and table
    // column, and day buckets one minute short.
    void earlierFilesOpen() {
        const QByteArray file = withConfig(encodeChartFile(richModel()), [](QJsonObject& c) {
            QJsonArray series = c.value(QLatin1String("series")).toArray();
            for (QJsonValueRef entry : series) {
                QJsonObject style = entry.toObject();
                for (const char* key : {"plotStyle", "heading", "decimals"})
                    style.remove(QLatin1String(key));
                entry = style;
            }
            c.insert(QLatin1String("series"), series);
            c.insert(QLatin1String("minutesPerPoint"), 1439);
        });
        QString error;
        const std::optional<ChartModel> decoded = decodeChartFile(file, &error);
        QVERIFY2(decoded.has_value(), qPrintable(error));
        QCOMPARE(decoded->series[3].plotStyle, PlotStyle::Bars);
        QCOMPARE(decoded->series[3].tableHeading(), QString());
        QCOMPARE(decoded->series[3].decimals, 1);
        QCOMPARE(decoded->minutesPerPoint, 1439);
    }

    void readerAccepts() {
        QFETCH(QByteArray, bytes);
        QFETCH(ChartModel, expected);
        QString error;
        const std::optional<ChartModel> decoded = decodeChartFile(bytes, &error);
        QVERIFY2(decoded.has_value(), qPrintable(error));
        compareExactly(*decoded, expected);
    }

    void readerRefuses_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray file = encodeChartFile(richModel());
        const qsizetype dataStart = file.indexOf("DATA", HeaderSize) + 8;
        const auto flipped = [&](qsizetype at) {
            QByteArray bytes = file;
            bytes[at] = char(bytes[at] ^ 0x10);
            return bytes;
        };

        QTest::newRow("empty file") << QByteArray() << "empty";
        QTest::newRow("cut inside the magic") << file.left(3) << "incomplete";
        QTest::newRow("cut after the header") << file.left(16) << "incomplete";
        QTest::newRow("cut in the middle") << file.left(file.size() / 2) << "incomplete";
        QTest::newRow("cut before the last byte") << file.chopped(1) << "incomplete";
        QTest::newRow("a byte more at the end") << file + 'x' << "damaged";
        QTest::newRow("flipped byte in the magic") << flipped(2) << "not a Tarnvue chart file";
        QTest::newRow("flipped byte in the size") << flipped(14) << "incomplete";
        QTest::newRow("flipped byte in the configuration") << flipped(40) << "checksum";
        QTest::newRow("flipped byte in a value") << flipped(dataStart + 100) << "checksum";
        QTest::newRow("flipped byte in the checksum") << flipped(file.size() - 2) << "checksum";
        QTest::newRow("PNG image")
            << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "not a Tarnvue chart file";
        QTest::newRow("plain text")
            << QByteArray("Time,Minimum Response Time\r\n") << "not a Tarnvue chart file";
        QTest::newRow("newer format version") << assemble(2, sectionsOf(file)) << "newer version";
        QTest::newRow("newer format version, own checksum") << [&] {
            QByteArray bytes = file;
            putLe32(bytes, 8, 2);
            return bytes;
        }() << "newer version";
        QTest::newRow("format version 0")
            << assemble(0, sectionsOf(file)) << "unknown format version";
        QTest::newRow("unknown required section") << withSections(file, [](QList<Section>& s) {
            s.append(Section{"XTRA", "x"});
        }) << "newer version";
        QTest::newRow("no data section")
            << withSections(file, [](QList<Section>& s) { s.removeLast(); }) << "no data";
        QTest::newRow("no configuration section")
            << withSections(file, [](QList<Section>& s) { s.removeFirst(); }) << "no configuration";
        QTest::newRow("two data sections")
            << withSections(file, [](QList<Section>& s) { s.append(s.last()); })
            << "two data sections";
        QTest::newRow("section length past the end") << reseal([&] {
            QByteArray bytes = file;
            putLe32(bytes, HeaderSize + 4, 0xFFFFFFFFu);
            return bytes;
        }()) << "past the end";
        QTest::newRow("configuration is not JSON")
            << withSections(file, [](QList<Section>& s) { s[0].payload = "{\"fontSize\": "; })
            << "configuration";
        QTest::newRow("missing setting")
            << withConfig(file, [](QJsonObject& c) { c.remove(QLatin1String("fontSize")); })
            << "\"fontSize\" is missing";
        QTest::newRow("missing series setting") << withConfig(file, [](QJsonObject& c) {
            QJsonArray series = c.value(QLatin1String("series")).toArray();
            QJsonObject first = series[0].toObject();
            first.remove(QLatin1String("label"));
            series[0] = first;
            c.insert(QLatin1String("series"), series);
        }) << "\"label\" of series 1 is missing";
        QTest::newRow("setting of the wrong kind") << withConfig(file, [](QJsonObject& c) {
            c.insert(QLatin1String("fontSize"), QStringLiteral("1"));
        }) << "\"fontSize\" is not a whole number";
        QTest::newRow("fractional count") << withConfig(file, [](QJsonObject& c) {
            c.insert(QLatin1String("visiblePointCount"), 2.5);
        }) << "\"visiblePointCount\" is not a whole number";
        QTest::newRow("number that is not exact text")
            << withConfig(file, [](QJsonObject& c) { c.insert(QLatin1String("leftMax"), 100); })
            << "\"leftMax\" is not a number";
        QTest::newRow("number text with trailing garbage") << withConfig(file, [](QJsonObject& c) {
            c.insert(QLatin1String("leftMax"), QStringLiteral("100x"));
        }) << "\"leftMax\" is not a number";
        QTest::newRow("malformed colour") << withConfig(file, [](QJsonObject& c) {
            c.insert(QLatin1String("leftColor"), QStringLiteral("#+1234567"));
        }) << "\"leftColor\" is not a colour";
        QTest::newRow("colour hue past a full turn") << withConfig(file, [](QJsonObject& c) {
            c.insert(QLatin1String("leftColor"),
                     QJsonObject{{"model", int(QColor::Hsv)},
                                 {"fields", QJsonArray{65535, 40000, 0, 0, 0}}});
        }) << "hue";
        QTest::newRow("unknown colour model") << withConfig(file, [](QJsonObject& c) {
            c.insert(QLatin1String("rightColor"),
                     QJsonObject{{"model", 9}, {"fields", QJsonArray{0, 0, 0, 0, 0}}});
        }) << "colour model 9";
        QTest::newRow("series described twice as often as held")
            << withConfig(file,
                          [](QJsonObject& c) {
                              QJsonArray series = c.value(QLatin1String("series")).toArray();
                              series.append(series[0]);
                              c.insert(QLatin1String("series"), series);
                          })
            << "describes 5 series";
        QTest::newRow("one annotation only") << withConfig(file, [](QJsonObject& c) {
            QJsonArray annotations = c.value(QLatin1String("annotations")).toArray();
            annotations.removeLast();
            c.insert(QLatin1String("annotations"), annotations);
        }) << "annotations";
        QTest::newRow("huge counts without values") << withSections(file, [](QList<Section>& s) {
            s[1].payload = le32Bytes(16) + le32Bytes(32767);
        }) << "data section holds 0 bytes";
        QTest::newRow("counts at the top of 32 bits") << withSections(file, [](QList<Section>& s) {
            s[1].payload = le32Bytes(0xFFFFFFFFu) + le32Bytes(0xFFFFFFFFu);
        }) << "4294967295 series";
        QTest::newRow("value array one short")
            << encodedWith([](ChartModel& m) { m.values.pop_back(); }) << "data section";

        QTest::newRow("point count 40000")
            << encodedWith([](ChartModel& m) { m.resize(1, 40000); }) << "40000 points";
        QTest::newRow("series count 17")
            << encodedWith([](ChartModel& m) { m.resize(17, 2); }) << "17 series";
        QTest::newRow("a NaN value") << encodedWith([](ChartModel& m) {
            m.setValue(2, 50, std::numeric_limits<float>::quiet_NaN());
        }) << "series 3 at point 51 is not a finite number";
        QTest::newRow("an infinite value") << encodedWith([](ChartModel& m) {
            m.setValue(0, 0, -std::numeric_limits<float>::infinity());
        }) << "series 1 at point 1 is not a finite number";
        QTest::newRow("NaN missing-value marker") << encodedWith([](ChartModel& m) {
            m.missingValue = std::numeric_limits<float>::quiet_NaN();
        }) << "missing-value marker";
        QTest::newRow("NaN axis minimum")
            << encodedWith([](ChartModel& m) { m.leftMin = std::nan(""); })
            << "left axis minimum is not a finite number";
        QTest::newRow("infinite axis maximum")
            << encodedWith([](ChartModel& m) { m.rightMax = HUGE_VAL; })
            << "right axis maximum is not a finite number";
        QTest::newRow("infinite points per day")
            << encodedWith([](ChartModel& m) { m.pointsPerDay = -HUGE_VAL; }) << "points per day";
        QTest::newRow("infinite first point time")
            << encodedWith([](ChartModel& m) { m.firstPointTime = HUGE_VAL; })
            << "first point time is not a finite number";
        QTest::newRow("first point time beyond year 9999")
            << encodedWith([](ChartModel& m) { m.firstPointTime = 1e300; }) << "years 100 to 9999";
        QTest::newRow("NaN annotation value")
            << encodedWith([](ChartModel& m) { m.annotations[1].value = std::nan(""); })
            << "second annotation's value";
        QTest::newRow("NaN line width")
            << encodedWith([](ChartModel& m) { m.series[2].lineWidth = std::nan(""); })
            << "line width of series 3";
        QTest::newRow("negative line width")
            << encodedWith([](ChartModel& m) { m.series[0].lineWidth = -1; }) << "line width";
        QTest::newRow("font size 3")
            << encodedWith([](ChartModel& m) { m.fontSize = 3; }) << "font size 3";
        QTest::newRow("font size -1")
            << encodedWith([](ChartModel& m) { m.fontSize = -1; }) << "font size -1";
        QTest::newRow("table mode 1")
            << encodedWith([](ChartModel& m) { m.tableMode = 1; }) << "table mode 1";
        QTest::newRow("plot style 4")
            << encodedWith([](ChartModel& m) { m.plotStyle = static_cast<PlotStyle>(4); })
            << "plot style 4";
        QTest::newRow("legend position -1")
            << encodedWith([](ChartModel& m) { m.legend = static_cast<LegendPosition>(-1); })
            << "legend position -1";
        QTest::newRow("series line type 4")
            << encodedWith([](ChartModel& m) { m.series[3].lineType = static_cast<LineType>(4); })
            << "line type 4 of series 4";
        QTest::newRow("annotation line type 7") << encodedWith([](ChartModel& m) {
            m.annotations[0].lineType = static_cast<LineType>(7);
        }) << "line type 7 of annotation 1";
        QTest::newRow("annotation axis 2")
            << encodedWith([](ChartModel& m) { m.annotations[1].axis = 2; }) << "axis 2";
        QTest::newRow("right-axis series 17")
            << encodedWith([](ChartModel& m) { m.rightAxisSeries = 17; }) << "right-axis";
        QTest::newRow("no minutes per point")
            << encodedWith([](ChartModel& m) { m.minutesPerPoint = 0; }) << "minutes per point";
        const auto shaded = [](const ShadedStretch& stretch) {
            ChartModel m = shadedModel();
            m.shading.push_back(stretch);
            return encodeChartFile(m);
        };
        QTest::newRow("stretch ending before it begins")
            << shaded({ShadedStretch::Outage, 46002, 46001.5, false, 0, 2}) << "ends before";
        QTest::newRow("stretch at infinity")
            << shaded({ShadedStretch::NoData, 46002, qInf(), false, 0, 0}) << "years 100";
        QTest::newRow("stretch of kind 5")
            << shaded({ShadedStretch::Kind(5), 46002, 46003, false, 0, 0}) << "kind 5";
        QTest::newRow("too many stretches") << encodeChartFile([] {
            ChartModel m = shadedModel();
            m.shading.resize(ChartFileMaxStretches + 1, m.shading[0]);
            return m;
        }()) << "shaded stretches";
    }
    void readerRefuses() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QString error;
        const std::optional<ChartModel> decoded = decodeChartFile(bytes, &error);
        QVERIFY(!decoded.has_value());
        QVERIFY2(error.contains(reason), qPrintable(error));
        // A description for a message box: a sentence that ends with a full stop.
        QVERIFY2(error.endsWith(QLatin1Char('.')), qPrintable(error));
    }

    void visiblePoints_data() {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("visible");
        QTest::addColumn<int>("first");
        QTest::addColumn<bool>("valid");
        QTest::newRow("no points, nothing visible") << 0 << 0 << 1 << true;
        QTest::newRow("no points, first point 0") << 0 << 0 << 0 << false;
        QTest::newRow("no points, first point 2") << 0 << 0 << 2 << false;
        QTest::newRow("no points, one visible") << 0 << 1 << 1 << false;
        QTest::newRow("all points") << 96 << 96 << 1 << true;
        QTest::newRow("all points from the second") << 96 << 96 << 2 << false;
        QTest::newRow("zoomed in the middle") << 96 << 24 << 25 << true;
        QTest::newRow("zoomed to the end") << 96 << 24 << 73 << true;
        QTest::newRow("zoom running past the end") << 96 << 24 << 74 << false;
        QTest::newRow("last point alone") << 96 << 1 << 96 << true;
        QTest::newRow("nothing visible at the last point") << 96 << 0 << 96 << true;
        QTest::newRow("nothing visible past the last point") << 96 << 0 << 97 << false;
        QTest::newRow("more visible than held") << 96 << 97 << 1 << false;
        QTest::newRow("negative visible count") << 96 << -1 << 1 << false;
        QTest::newRow("huge first point") << 96 << 96 << std::numeric_limits<int>::max() << false;
    }
    void visiblePoints() {
        QFETCH(int, points);
        QFETCH(int, visible);
        QFETCH(int, first);
        QFETCH(bool, valid);
        ChartModel model;
        model.resize(2, points);
        model.visiblePointCount = visible;
        model.firstVisiblePoint = first;
        QCOMPARE(chartFileProblem(model).isEmpty(), valid);
        QString error;
        QCOMPARE(decodeChartFile(encodeChartFile(model), &error).has_value(), valid);
        QTemporaryDir dir;
        QCOMPARE(saveChartFile(model, dir.filePath(QStringLiteral("v.nvc")), &error), valid);
    }

    // Random damage, most of it with a repaired checksum so that it reaches
    // the section, JSON and model checks: the reader must refuse or return a
    // chart that keeps every rule, and never crash or hang.
    void mutatedFilesAreRefusedOrValid() {
        ChartModel model = richModel();
        model.resize(4, 12);
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
        for (int round = 0; round < 3000; ++round) {
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
                const qsizetype from = below(bytes.size());
                const QByteArray chunk = bytes.mid(from, 1 + below(32));
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
                QVERIFY2(!error.isEmpty(), context.constData());
                if (resealed && !error.contains(QLatin1String("checksum")) &&
                    !error.contains(QLatin1String("incomplete")))
                    ++parsedAndRefused;
            }
        }
        // Most damage must have got past the checksum, or this test tests
        // nothing but the checksum.
        QVERIFY2(parsedAndRefused > 1000, qPrintable(QString::number(parsedAndRefused)));
        QVERIFY(accepted > 0);
    }

    void failedSaveKeepsTheOldFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("validChart");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder does not exist")
            << QStringLiteral("missing/chart.nvc") << true << "cannot be written";
        QTest::newRow("path is a folder")
            << QStringLiteral("folder") << true << "cannot be written";
        // The temporary copy beside the file gets a longer name than the
        // file system allows, which stops root as well as anyone.
        QTest::newRow("no room for the temporary copy's name")
            << QString(250, QLatin1Char('n')) + ".nvc" << true << "cannot be written";
        QTest::newRow("chart breaks the rules")
            << QStringLiteral("chart.nvc") << false << "font size 7";
        QTest::newRow("path is a link to another chart")
            << QStringLiteral("link.nvc") << true << "is a symbolic link";
    }
    void failedSaveKeepsTheOldFile() {
        QFETCH(QString, name);
        QFETCH(bool, validChart);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString path = dir.filePath(name);
        const bool existing = !name.contains(QLatin1Char('/')) && name != QLatin1String("folder");
        const QByteArray before = existing ? encodeChartFile(richModel()) : QByteArray();
        if (existing) {
            const bool link = name.startsWith(QLatin1String("link"));
            QFile file(link ? dir.filePath(QStringLiteral("target.nvc")) : path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(before), before.size());
            if (link)
                QVERIFY(file.link(path));
        }
        const QStringList entriesBefore = QDir(dir.path()).entryList(QDir::AllEntries);

        ChartModel other = seriesWithoutPoints();
        if (!validChart)
            other.fontSize = 7;
        QString error;
        QVERIFY(!saveChartFile(other, path, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries), entriesBefore);
        if (existing) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), before);
        }
    }

    void saveReplacesAnExistingFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("chart.nvc"));
        QVERIFY(saveChartFile(richModel(), path, nullptr));
        QVERIFY(saveChartFile(seriesWithoutPoints(), path, nullptr));
        const std::optional<ChartModel> loaded = loadChartFile(path, nullptr);
        QVERIFY(loaded.has_value());
        compareExactly(*loaded, seriesWithoutPoints());
    }

    void loadRefuses_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing file") << QStringLiteral("missing.nvc") << "does not exist";
        QTest::newRow("folder") << QStringLiteral("folder") << "folder";
        QTest::newRow("empty file") << QStringLiteral("empty.nvc") << "empty";
        QTest::newRow("file over the size limit, refused unread")
            << QStringLiteral("huge.nvc") << "too large";
        QTest::newRow("another format") << QStringLiteral("image.nvc") << "not a Tarnvue chart";
    }
    void loadRefuses() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QFile empty(dir.filePath(QStringLiteral("empty.nvc")));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        // A sparse file: its size is over the limit, its blocks are not.
        QFile huge(dir.filePath(QStringLiteral("huge.nvc")));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.write(encodeChartFile(richModel())) > 0);
        QVERIFY(huge.resize(ChartFileMaxBytes + 1));
        huge.close();
        QFile image(dir.filePath(QStringLiteral("image.nvc")));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(100, '\0'));
        image.close();

        QString error;
        QVERIFY(!loadChartFile(dir.filePath(name), &error).has_value());
        QVERIFY2(error.contains(reason), qPrintable(error));
    }
};

QTEST_APPLESS_MAIN(TestChartFile)
#include "test_chartfile.moc"

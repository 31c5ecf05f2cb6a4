#include "ChartFile.h"

#include "core/Error.h"
#include "core/OutputFile.h"
#include "core/TextLimit.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace tarnvue {

// Layout of a chart file; every number is little-endian.
//
//   offset 0   magic "NVCHART" and 0x1A (no text file starts like this)
//   offset 8   format version, uint32 (1)
//   offset 12  size of the whole file in bytes, uint32
//   offset 16  sections, each a 4-byte ASCII tag, the payload length (uint32)
//              and the payload
//   last 4     CRC-32 (the zlib and PNG one) of every byte before it
//
// Sections of version 1:
//   "CONF"  the configuration, a UTF-8 JSON object whose keys are named after
//           the model's fields. Doubles and the missing-value marker are
//           strings holding their shortest exact decimal text (a JSON number
//           would lose the sign of -0); colours are "#AARRGGBB" when 8 bits a
//           channel hold them, otherwise the colour's model number and its
//           five raw 16-bit components.
//   "DATA"  series count and point count (uint32 each), then the values
//           series by series as IEEE-754 single-precision bits.
//
// Extras, skipped by readers that do not know them:
//   "shad"  the shading, a UTF-8 JSON object: "showShading", "availability"
//           and "stretches", a list of objects with "kind" (0 outage, 1 no
//           data), "begin" and "end" (date values, as doubles above),
//           "ongoing", "seconds" (a whole number as text) and "lostPolls".
//           Written only when there is something to keep; a file without
//           it has no shading, and shading on.
//   "latn"  the buckets' response time spread: which figures are shown, as
//           bits of a uint32 (1 median, 2 95th percentile, 4 the 5th to 95th
//           percentile band, 8 jitter, 16 spikes clipped; others are
//           ignored), the bucket count (uint32, 0 or the point count), then
//           per bucket its 5th percentile, median, 95th percentile and
//           jitter as single-precision bits (-1 where missing) and its polls
//           and replied polls (uint32 each). Written only when a figure is
//           shown or known; a file without it shows none and knows none.
//
// A later writer may add sections. One whose tag starts with a lower-case
// letter carries extras an older reader may skip; any other unknown tag
// means the file cannot be read without it. A change that old readers must
// not attempt raises the format version.

namespace {

constexpr std::array<char, 8> Magic = {'N', 'V', 'C', 'H', 'A', 'R', 'T', '\x1a'};
constexpr quint32 FormatVersion = 1;
constexpr qsizetype HeaderSize = 16;
constexpr qsizetype SectionHeaderSize = 8;
constexpr qsizetype ChecksumSize = 4;
constexpr std::array<char, 4> ConfigTag = {'C', 'O', 'N', 'F'};
constexpr std::array<char, 4> DataTag = {'D', 'A', 'T', 'A'};
constexpr std::array<char, 4> ShadingTag = {'s', 'h', 'a', 'd'};
constexpr std::array<char, 4> LatencyTag = {'l', 'a', 't', 'n'};
constexpr qsizetype LatencyBucketSize = 6 * 4;

// The widest pen a chart line may have, in pixels.
constexpr double MaxLineWidth = 100;
// The first point must lie in the years 100 to 9999, the range of the serial
// dates the program works with; far beyond it the date arithmetic breaks.
constexpr double EarliestFirstPointTime = -657434; // 0100-01-01
constexpr double LatestFirstPointTime = 2958466;   // 10000-01-01, excluded

constexpr std::array<quint32, 256> makeCrcTable() {
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

quint32 crc32(const char* data, qsizetype size) {
    static constexpr std::array<quint32, 256> table = makeCrcTable();
    quint32 c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        c = table[(c ^ static_cast<unsigned char>(data[i])) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendU32(QByteArray& out, quint32 value) {
    const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                           static_cast<char>((value >> 16) & 0xFF),
                           static_cast<char>((value >> 24) & 0xFF)};
    out.append(bytes, 4);
}

void writeU32(QByteArray& out, qsizetype offset, quint32 value) {
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The caller has checked that four bytes are there.
quint32 readU32(const char* data) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(data[i]);
    return value;
}

void appendSection(QByteArray& out, const std::array<char, 4>& tag, const QByteArray& payload) {
    out.append(tag.data(), 4);
    appendU32(out, static_cast<quint32>(payload.size()));
    out.append(payload);
}

// Colours: QColor compares its colour model and five raw 16-bit fields, so
// those are what the file keeps. QDataStream is the one public way to reach
// them, and it writes exactly these fields.
struct RawColor {
    qint8 model = 0;
    std::array<quint16, 5> fields{}; // alpha, three components, padding
};

RawColor rawColor(const QColor& color) {
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << color;
    }
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    RawColor raw;
    in >> raw.model;
    for (quint16& field : raw.fields)
        in >> field;
    return raw;
}

QColor colorFromRaw(const RawColor& raw) {
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << raw.model;
        for (quint16 field : raw.fields)
            out << field;
    }
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    QColor color;
    in >> color;
    return color;
}

bool isEightBit(quint16 field) {
    return field == (field >> 8) * 0x101;
}

bool isFiniteHalf(quint16 bits) {
    return (bits & 0x7C00) != 0x7C00;
}

// Raw fields no QColor function would produce: an unknown colour model, a
// hue past a full turn, or a non-finite extended component.
QString colorProblem(const RawColor& raw) {
    switch (raw.model) {
    case QColor::Invalid:
    case QColor::Rgb:
    case QColor::Cmyk:
        return {};
    case QColor::Hsv:
    case QColor::Hsl:
        if (raw.fields[1] > 36000 && raw.fields[1] != std::numeric_limits<quint16>::max())
            return QStringLiteral("its hue is past a full turn");
        return {};
    case QColor::ExtendedRgb:
        for (int i = 0; i < 4; ++i) {
            if (!isFiniteHalf(raw.fields[static_cast<std::size_t>(i)]))
                return QStringLiteral("a component is not a finite number");
        }
        return {};
    }
    return QStringLiteral("its colour model %1 is unknown").arg(int(raw.model));
}

QJsonValue colorToJson(const QColor& color) {
    const RawColor raw = rawColor(color);
    const bool plain = raw.model == QColor::Rgb && raw.fields[4] == 0 && isEightBit(raw.fields[0]) &&
                       isEightBit(raw.fields[1]) && isEightBit(raw.fields[2]) &&
                       isEightBit(raw.fields[3]);
    if (plain)
        return color.name(QColor::HexArgb);
    QJsonArray fields;
    for (quint16 field : raw.fields)
        fields.append(int(field));
    return QJsonObject{{QStringLiteral("model"), int(raw.model)}, {QStringLiteral("fields"), fields}};
}

// Shortest decimal text that reads back to the identical number, "."
// whatever the locale; std::to_chars promises the exact round trip.
template <typename Number> QString exactText(Number value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

QJsonObject seriesToJson(const SeriesStyle& style) {
    return QJsonObject{{QStringLiteral("label"), style.label},
                       {QStringLiteral("color"), colorToJson(style.color)},
                       {QStringLiteral("visible"), style.visible},
                       {QStringLiteral("lineWidth"), exactText(style.lineWidth)},
                       {QStringLiteral("lineType"), int(style.lineType)},
                       {QStringLiteral("plotStyle"), int(style.plotStyle)},
                       {QStringLiteral("heading"), style.heading},
                       {QStringLiteral("decimals"), style.decimals}};
}

QJsonObject annotationToJson(const Annotation& annotation) {
    return QJsonObject{{QStringLiteral("defined"), annotation.defined},
                       {QStringLiteral("value"), exactText(annotation.value)},
                       {QStringLiteral("axis"), annotation.axis},
                       {QStringLiteral("color"), colorToJson(annotation.color)},
                       {QStringLiteral("lineType"), int(annotation.lineType)},
                       {QStringLiteral("text"), annotation.text}};
}

QJsonObject configToJson(const ChartModel& m) {
    QJsonArray series;
    for (const SeriesStyle& style : m.series)
        series.append(seriesToJson(style));
    QJsonArray annotations;
    for (const Annotation& annotation : m.annotations)
        annotations.append(annotationToJson(annotation));

    QJsonObject o;
    o.insert(QStringLiteral("missingValue"), exactText(m.missingValue));
    o.insert(QStringLiteral("visiblePointCount"), m.visiblePointCount);
    o.insert(QStringLiteral("firstVisiblePoint"), m.firstVisiblePoint);
    o.insert(QStringLiteral("series"), series);
    o.insert(QStringLiteral("plotStyle"), int(m.plotStyle));
    o.insert(QStringLiteral("rightAxisSeries"), m.rightAxisSeries);
    o.insert(QStringLiteral("mainTitle"), m.mainTitle);
    o.insert(QStringLiteral("subTitle"), m.subTitle);
    o.insert(QStringLiteral("xAxisLabel"), m.xAxisLabel);
    o.insert(QStringLiteral("footer"), m.footer);
    o.insert(QStringLiteral("leftLabel"), m.leftLabel);
    o.insert(QStringLiteral("leftColor"), colorToJson(m.leftColor));
    o.insert(QStringLiteral("leftTickFormat"), m.leftTickFormat);
    o.insert(QStringLiteral("leftManual"), m.leftManual);
    o.insert(QStringLiteral("leftMin"), exactText(m.leftMin));
    o.insert(QStringLiteral("leftMax"), exactText(m.leftMax));
    o.insert(QStringLiteral("rightLabel"), m.rightLabel);
    o.insert(QStringLiteral("rightColor"), colorToJson(m.rightColor));
    o.insert(QStringLiteral("rightTickFormat"), m.rightTickFormat);
    o.insert(QStringLiteral("rightManual"), m.rightManual);
    o.insert(QStringLiteral("rightMin"), exactText(m.rightMin));
    o.insert(QStringLiteral("rightMax"), exactText(m.rightMax));
    o.insert(QStringLiteral("minutesPerPoint"), m.minutesPerPoint);
    o.insert(QStringLiteral("pointsPerDay"), exactText(m.pointsPerDay));
    o.insert(QStringLiteral("firstPointTime"), exactText(m.firstPointTime));
    o.insert(QStringLiteral("annotations"), annotations);
    o.insert(QStringLiteral("showAnnotations"), m.showAnnotations);
    o.insert(QStringLiteral("fontSize"), m.fontSize);
    o.insert(QStringLiteral("tableMode"), m.tableMode);
    o.insert(QStringLiteral("gridLines"), m.gridLines);
    o.insert(QStringLiteral("legend"), int(m.legend));
    return o;
}

QJsonObject shadingToJson(const ChartModel& m) {
    QJsonArray stretches;
    for (const ShadedStretch& s : m.shading)
        stretches.append(QJsonObject{{QStringLiteral("kind"), int(s.kind)},
                                     {QStringLiteral("begin"), exactText(s.begin)},
                                     {QStringLiteral("end"), exactText(s.end)},
                                     {QStringLiteral("ongoing"), s.ongoing},
                                     {QStringLiteral("seconds"), exactText(s.seconds)},
                                     {QStringLiteral("lostPolls"), int(s.lostPolls)}});
    return QJsonObject{{QStringLiteral("showShading"), m.showShading},
                       {QStringLiteral("availability"), m.availability},
                       {QStringLiteral("stretches"), stretches}};
}

QByteArray latencySection(const ChartModel& m) {
    const LatencyLook& look = m.latency;
    const quint32 flags = (look.median ? 1u : 0u) | (look.p95 ? 2u : 0u) | (look.band ? 4u : 0u) |
                          (look.jitter ? 8u : 0u) | (look.clipSpikes ? 16u : 0u);
    QByteArray out;
    out.reserve(8 + LatencyBucketSize * qsizetype(m.shapes.size()));
    appendU32(out, flags);
    appendU32(out, static_cast<quint32>(m.shapes.size()));
    for (const BucketShape& b : m.shapes) {
        for (float figure : {b.p5, b.median, b.p95, b.jitter})
            appendU32(out, std::bit_cast<quint32>(figure));
        appendU32(out, static_cast<quint32>(b.polls));
        appendU32(out, static_cast<quint32>(b.replied));
    }
    return out;
}

Error damaged(const QString& why) {
    return Error(QStringLiteral("The chart file is damaged: %1.").arg(why));
}

// Reads the configuration's settings; a missing setting or one of the wrong
// kind makes the file damaged.
class ConfigReader {
public:
    ConfigReader(const QJsonObject& object, QString where)
        : m_object(object), m_where(std::move(where)) {}

    QJsonValue value(const char* key) const {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined())
            throw damaged(
                QStringLiteral("the setting \"%1\"%2 is missing").arg(QLatin1String(key), m_where));
        return v;
    }

    bool has(const char* key) const { return m_object.contains(QLatin1String(key)); }

    int integer(const char* key) const {
        const QJsonValue v = value(key);
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::trunc(d) || d < std::numeric_limits<int>::min() ||
            d > std::numeric_limits<int>::max())
            throw wrongKind(key, "a whole number");
        return static_cast<int>(d);
    }

    bool boolean(const char* key) const {
        const QJsonValue v = value(key);
        if (!v.isBool())
            throw wrongKind(key, "true or false");
        return v.toBool();
    }

    QString string(const char* key) const {
        const QJsonValue v = value(key);
        if (!v.isString())
            throw wrongKind(key, "a text");
        return limitedText(v.toString());
    }

    template <typename Number> Number number(const char* key) const {
        const QJsonValue v = value(key);
        const QByteArray text = v.toString().toLatin1();
        Number parsed{};
        const auto result =
            std::from_chars(text.constData(), text.constData() + text.size(), parsed);
        if (!v.isString() || text.isEmpty() || result.ec != std::errc() ||
            result.ptr != text.constData() + text.size())
            throw wrongKind(key, "a number");
        return parsed;
    }

    QJsonArray array(const char* key) const {
        const QJsonValue v = value(key);
        if (!v.isArray())
            throw wrongKind(key, "a list");
        return v.toArray();
    }

    QColor color(const char* key) const {
        const QJsonValue v = value(key);
        if (v.isString())
            return hexColor(key, v.toString());
        if (!v.isObject())
            throw wrongKind(key, "a colour");
        const ConfigReader inner(v.toObject(), QStringLiteral(" of colour \"%1\"").arg(key));
        RawColor raw;
        const int model = inner.integer("model");
        if (model < std::numeric_limits<qint8>::min() || model > std::numeric_limits<qint8>::max())
            throw wrongKind(key, "a colour");
        raw.model = static_cast<qint8>(model);
        const QJsonArray fields = inner.array("fields");
        if (fields.size() != static_cast<qsizetype>(raw.fields.size()))
            throw wrongKind(key, "a colour");
        for (std::size_t i = 0; i < raw.fields.size(); ++i) {
            const QJsonValue f = fields.at(static_cast<qsizetype>(i));
            const double d = f.toDouble(-1);
            if (!f.isDouble() || d != std::trunc(d) || d < 0 || d > 65535)
                throw wrongKind(key, "a colour");
            raw.fields[i] = static_cast<quint16>(d);
        }
        const QString problem = colorProblem(raw);
        if (!problem.isEmpty())
            throw damaged(QStringLiteral("the colour \"%1\"%2 is invalid: %3")
                              .arg(QLatin1String(key), m_where, problem));
        return colorFromRaw(raw);
    }

private:
    Error wrongKind(const char* key, const char* kind) const {
        return damaged(QStringLiteral("the setting \"%1\"%2 is not %3")
                           .arg(QLatin1String(key), m_where, QLatin1String(kind)));
    }

    QColor hexColor(const char* key, const QString& text) const {
        // Exactly "#" and eight hex digits: toUInt alone would also take
        // signs, spaces and a "0x" prefix.
        bool ok = text.size() == 9 && text.startsWith(QLatin1Char('#'));
        for (qsizetype i = 1; ok && i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            ok = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        }
        const uint argb = ok ? text.mid(1).toUInt(&ok, 16) : 0;
        if (!ok)
            throw wrongKind(key, "a colour");
        return QColor::fromRgba(argb);
    }

    QJsonObject m_object;
    QString m_where;
};

ChartModel modelFromSections(QByteArrayView config, QByteArrayView data) {
    // The data section first: its counts are checked before anything is
    // allocated for them.
    if (data.size() < 8)
        throw damaged(QStringLiteral("its data section is cut short"));
    const quint32 seriesCount = readU32(data.data());
    const quint32 pointCount = readU32(data.data() + 4);
    if (seriesCount > quint32(ChartFileMaxSeries))
        throw Error(QStringLiteral("The chart file claims %1 series; a chart has at most %2.")
                        .arg(seriesCount)
                        .arg(ChartFileMaxSeries));
    if (pointCount > quint32(ChartFileMaxPoints))
        throw Error(QStringLiteral("The chart file claims %1 points; a chart has at most %2.")
                        .arg(pointCount)
                        .arg(ChartFileMaxPoints));
    const qint64 valueCount = qint64(seriesCount) * qint64(pointCount);
    if (data.size() - 8 != valueCount * 4)
        throw damaged(QStringLiteral("its data section holds %1 bytes of values where %2 series "
                                     "of %3 points need %4")
                          .arg(data.size() - 8)
                          .arg(seriesCount)
                          .arg(pointCount)
                          .arg(valueCount * 4));

    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(config.data(), config.size()), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        throw damaged(QStringLiteral("its configuration cannot be read"));
    const ConfigReader c(document.object(), QString());

    ChartModel m;
    m.seriesCount = int(seriesCount);
    m.pointCount = int(pointCount);
    m.values.resize(static_cast<std::size_t>(valueCount));
    for (std::size_t i = 0; i < m.values.size(); ++i)
        m.values[i] = std::bit_cast<float>(readU32(data.data() + 8 + 4 * i));
    m.missingValue = c.number<float>("missingValue");
    m.visiblePointCount = c.integer("visiblePointCount");
    m.firstVisiblePoint = c.integer("firstVisiblePoint");

    const QJsonArray series = c.array("series");
    if (series.size() != m.seriesCount)
        throw damaged(QStringLiteral("it describes %1 series but holds values for %2")
                          .arg(series.size())
                          .arg(m.seriesCount));
    for (qsizetype i = 0; i < series.size(); ++i) {
        if (!series.at(i).isObject())
            throw damaged(QStringLiteral("series %1 is not described").arg(i + 1));
        const ConfigReader s(series.at(i).toObject(), QStringLiteral(" of series %1").arg(i + 1));
        SeriesStyle style;
        style.label = s.string("label");
        style.color = s.color("color");
        style.visible = s.boolean("visible");
        style.lineWidth = s.number<double>("lineWidth");
        style.lineType = static_cast<LineType>(s.integer("lineType"));
        // Files from before each series had its own style and table column
        // lack these: the chart's style and the label with one decimal.
        if (s.has("plotStyle"))
            style.plotStyle = static_cast<PlotStyle>(s.integer("plotStyle"));
        else
            style.plotStyle = static_cast<PlotStyle>(c.integer("plotStyle"));
        if (s.has("heading"))
            style.heading = s.string("heading");
        if (s.has("decimals"))
            style.decimals = s.integer("decimals");
        m.series.push_back(style);
    }

    m.plotStyle = static_cast<PlotStyle>(c.integer("plotStyle"));
    m.rightAxisSeries = c.integer("rightAxisSeries");
    m.mainTitle = c.string("mainTitle");
    m.subTitle = c.string("subTitle");
    m.xAxisLabel = c.string("xAxisLabel");
    m.footer = c.string("footer");
    m.leftLabel = c.string("leftLabel");
    m.leftColor = c.color("leftColor");
    m.leftTickFormat = c.string("leftTickFormat");
    m.leftManual = c.boolean("leftManual");
    m.leftMin = c.number<double>("leftMin");
    m.leftMax = c.number<double>("leftMax");
    m.rightLabel = c.string("rightLabel");
    m.rightColor = c.color("rightColor");
    m.rightTickFormat = c.string("rightTickFormat");
    m.rightManual = c.boolean("rightManual");
    m.rightMin = c.number<double>("rightMin");
    m.rightMax = c.number<double>("rightMax");
    m.minutesPerPoint = c.integer("minutesPerPoint");
    m.pointsPerDay = c.number<double>("pointsPerDay");
    m.firstPointTime = c.number<double>("firstPointTime");

    const QJsonArray annotations = c.array("annotations");
    if (annotations.size() != qsizetype(m.annotations.size()))
        throw damaged(QStringLiteral("it does not describe exactly %1 annotations")
                          .arg(m.annotations.size()));
    for (std::size_t i = 0; i < m.annotations.size(); ++i) {
        const QJsonValue v = annotations.at(qsizetype(i));
        if (!v.isObject())
            throw damaged(QStringLiteral("annotation %1 is not described").arg(i + 1));
        const ConfigReader a(v.toObject(), QStringLiteral(" of annotation %1").arg(i + 1));
        Annotation& annotation = m.annotations[i];
        annotation.defined = a.boolean("defined");
        annotation.value = a.number<double>("value");
        annotation.axis = a.integer("axis");
        annotation.color = a.color("color");
        annotation.lineType = static_cast<LineType>(a.integer("lineType"));
        annotation.text = a.string("text");
    }
    m.showAnnotations = c.boolean("showAnnotations");
    m.fontSize = c.integer("fontSize");
    m.tableMode = c.integer("tableMode");
    m.gridLines = c.boolean("gridLines");
    m.legend = static_cast<LegendPosition>(c.integer("legend"));

    const QString problem = chartFileProblem(m);
    if (!problem.isEmpty())
        throw Error(QStringLiteral("The chart file holds an invalid chart: %1.").arg(problem));
    return m;
}

// The shading section into a model read from the other sections; its
// figures are checked with the rest of the model.
void readShading(ChartModel& m, QByteArrayView section) {
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(section.data(), section.size()), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        throw damaged(QStringLiteral("its shading cannot be read"));
    const ConfigReader c(document.object(), QStringLiteral(" of the shading"));
    m.showShading = c.boolean("showShading");
    m.availability = c.string("availability");
    const QJsonArray stretches = c.array("stretches");
    if (stretches.size() > ChartFileMaxStretches)
        throw damaged(QStringLiteral("it claims %1 shaded stretches; a chart has at most %2")
                          .arg(stretches.size())
                          .arg(ChartFileMaxStretches));
    for (qsizetype i = 0; i < stretches.size(); ++i) {
        if (!stretches.at(i).isObject())
            throw damaged(QStringLiteral("shaded stretch %1 is not described").arg(i + 1));
        const ConfigReader r(stretches.at(i).toObject(),
                             QStringLiteral(" of shaded stretch %1").arg(i + 1));
        ShadedStretch s;
        s.kind = static_cast<ShadedStretch::Kind>(r.integer("kind"));
        s.begin = r.number<double>("begin");
        s.end = r.number<double>("end");
        s.ongoing = r.boolean("ongoing");
        s.seconds = r.number<std::int64_t>("seconds");
        s.lostPolls = r.integer("lostPolls");
        m.shading.push_back(s);
    }
}

// The spread section into a model read from the other sections; its
// figures are checked with the rest of the model.
void readLatency(ChartModel& m, QByteArrayView section) {
    if (section.size() < 8)
        throw damaged(QStringLiteral("its response time spread section is cut short"));
    const quint32 flags = readU32(section.data());
    const quint32 count = readU32(section.data() + 4);
    if (count != 0 && count != quint32(m.pointCount))
        throw damaged(QStringLiteral("its response time spread holds %1 buckets for %2 points")
                          .arg(count)
                          .arg(m.pointCount));
    if (section.size() - 8 != qsizetype(count) * LatencyBucketSize)
        throw damaged(QStringLiteral("its response time spread section has the wrong length"));
    m.latency = {(flags & 1u) != 0, (flags & 2u) != 0, (flags & 4u) != 0, (flags & 8u) != 0,
                 (flags & 16u) != 0};
    m.shapes.resize(count);
    const char* at = section.data() + 8;
    const auto next = [&at] {
        const quint32 value = readU32(at);
        at += 4;
        return value;
    };
    for (BucketShape& b : m.shapes) {
        for (float* figure : {&b.p5, &b.median, &b.p95, &b.jitter})
            *figure = std::bit_cast<float>(next());
        b.polls = static_cast<std::int32_t>(next());
        b.replied = static_cast<std::int32_t>(next());
    }
}

ChartModel decode(const QByteArray& bytes) {
    const qsizetype size = bytes.size();
    if (size == 0)
        throw Error(QStringLiteral("The file is empty."));
    if (size > ChartFileMaxBytes)
        throw Error(QStringLiteral("The file is too large to be a chart file (%1 bytes; a chart "
                                   "file holds at most %2).")
                        .arg(size)
                        .arg(ChartFileMaxBytes));
    if (std::memcmp(bytes.constData(), Magic.data(), std::size_t(std::min<qsizetype>(size, 8))) !=
        0)
        throw Error(QStringLiteral("The file is not a Tarnvue chart file."));
    if (size < HeaderSize)
        throw Error(QStringLiteral("The chart file is incomplete: it ends after %1 bytes, inside "
                                   "its header.")
                        .arg(size));

    // The version comes before the checksum: a later format may protect its
    // contents differently, and must be reported as newer, not as damaged.
    const quint32 version = readU32(bytes.constData() + 8);
    if (version > FormatVersion)
        throw Error(QStringLiteral("The chart file was written by a newer version of Tarnvue "
                                   "(file format %1; this version reads format %2).")
                        .arg(version)
                        .arg(FormatVersion));
    if (version == 0)
        throw Error(QStringLiteral("The chart file has the unknown format version 0."));

    const quint32 declaredSize = readU32(bytes.constData() + 12);
    if (declaredSize > quint64(size))
        throw Error(
            QStringLiteral("The chart file is incomplete: it ends after %1 of its %2 bytes.")
                .arg(size)
                .arg(declaredSize));
    if (declaredSize < quint64(size))
        throw damaged(
            QStringLiteral("it is %1 bytes long but should be %2").arg(size).arg(declaredSize));
    if (size < HeaderSize + ChecksumSize)
        throw damaged(QStringLiteral("it is too short to hold its checksum"));
    const qsizetype end = size - ChecksumSize;
    if (crc32(bytes.constData(), end) != readU32(bytes.constData() + end))
        throw damaged(QStringLiteral("its contents do not match their checksum"));

    std::optional<QByteArrayView> config;
    std::optional<QByteArrayView> data;
    std::optional<QByteArrayView> shading;
    std::optional<QByteArrayView> latency;
    for (qsizetype pos = HeaderSize; pos < end;) {
        if (end - pos < SectionHeaderSize)
            throw damaged(QStringLiteral("a section header is cut short"));
        const char* tag = bytes.constData() + pos;
        const quint32 length = readU32(tag + 4);
        pos += SectionHeaderSize;
        if (length > quint64(end - pos))
            throw damaged(QStringLiteral("a section runs past the end of the file"));
        const QByteArrayView payload(bytes.constData() + pos, qsizetype(length));
        pos += qsizetype(length);
        if (std::memcmp(tag, ConfigTag.data(), 4) == 0) {
            if (config)
                throw damaged(QStringLiteral("it holds two configuration sections"));
            config = payload;
        } else if (std::memcmp(tag, DataTag.data(), 4) == 0) {
            if (data)
                throw damaged(QStringLiteral("it holds two data sections"));
            data = payload;
        } else if (std::memcmp(tag, ShadingTag.data(), 4) == 0) {
            if (shading)
                throw damaged(QStringLiteral("it holds two shading sections"));
            shading = payload;
        } else if (std::memcmp(tag, LatencyTag.data(), 4) == 0) {
            if (latency)
                throw damaged(QStringLiteral("it holds two response time spread sections"));
            latency = payload;
        } else if (!(tag[0] >= 'a' && tag[0] <= 'z')) {
            throw Error(QStringLiteral("The chart file was written by a newer version of Tarnvue: "
                                       "it holds parts this version does not know."));
        }
    }
    if (!config)
        throw damaged(QStringLiteral("it has no configuration section"));
    if (!data)
        throw damaged(QStringLiteral("it has no data section"));
    ChartModel model = modelFromSections(*config, *data);
    if (shading)
        readShading(model, *shading);
    if (latency)
        readLatency(model, *latency);
    if (shading || latency) {
        const QString problem = chartFileProblem(model);
        if (!problem.isEmpty())
            throw Error(QStringLiteral("The chart file holds an invalid chart: %1.").arg(problem));
    }
    return model;
}

bool fail(QString* error, const QString& description) {
    if (error)
        *error = description;
    return false;
}

} // namespace

QString chartFileProblem(const ChartModel& m) {
    const auto finite = [](double value) {
        return std::isfinite(value);
    };
    const auto knownLineType = [](LineType type) {
        return int(type) >= int(LineType::Solid) && int(type) <= int(LineType::DashDot);
    };

    if (m.seriesCount < 0 || m.seriesCount > ChartFileMaxSeries)
        return QStringLiteral("the series count %1 is outside 0 to %2")
            .arg(m.seriesCount)
            .arg(ChartFileMaxSeries);
    if (m.pointCount < 0 || m.pointCount > ChartFileMaxPoints)
        return QStringLiteral("the point count %1 is outside 0 to %2")
            .arg(m.pointCount)
            .arg(ChartFileMaxPoints);
    if (m.values.size() != std::size_t(m.seriesCount) * std::size_t(m.pointCount))
        return QStringLiteral("it holds %1 values where %2 series of %3 points need %4")
            .arg(m.values.size())
            .arg(m.seriesCount)
            .arg(m.pointCount)
            .arg(m.seriesCount * m.pointCount);
    if (m.series.size() != std::size_t(m.seriesCount))
        return QStringLiteral("it describes %1 series but has %2")
            .arg(m.series.size())
            .arg(m.seriesCount);
    for (std::size_t i = 0; i < m.values.size(); ++i) {
        if (!std::isfinite(m.values[i]))
            return QStringLiteral("the value of series %1 at point %2 is not a finite number")
                .arg(i / std::size_t(m.pointCount) + 1)
                .arg(i % std::size_t(m.pointCount) + 1);
    }
    if (!std::isfinite(m.missingValue))
        return QStringLiteral("the missing-value marker is not a finite number");

    // The view: visiblePointCount points from firstVisiblePoint (counted from
    // 1), all inside the data. An empty view still has a first point, 1 when
    // there are no points.
    if (m.visiblePointCount < 0 || m.visiblePointCount > m.pointCount)
        return QStringLiteral("the visible point count %1 is outside 0 to %2")
            .arg(m.visiblePointCount)
            .arg(m.pointCount);
    const qint64 lastVisible = qint64(m.firstVisiblePoint) + std::max(m.visiblePointCount, 1) - 1;
    if (m.firstVisiblePoint < 1 || lastVisible > std::max(m.pointCount, 1))
        return QStringLiteral("the first visible point %1 does not fit %2 visible of %3 points")
            .arg(m.firstVisiblePoint)
            .arg(m.visiblePointCount)
            .arg(m.pointCount);

    for (std::size_t i = 0; i < m.series.size(); ++i) {
        const SeriesStyle& style = m.series[i];
        if (!finite(style.lineWidth) || style.lineWidth < 0 || style.lineWidth > MaxLineWidth)
            return QStringLiteral("the line width of series %1 is outside 0 to %2")
                .arg(i + 1)
                .arg(MaxLineWidth);
        if (!knownLineType(style.lineType))
            return QStringLiteral("the line type %1 of series %2 is unknown")
                .arg(int(style.lineType))
                .arg(i + 1);
        const QString colour = colorProblem(rawColor(style.color));
        if (!colour.isEmpty())
            return QStringLiteral("the colour of series %1 is invalid: %2").arg(i + 1).arg(colour);
        if (int(style.plotStyle) < int(PlotStyle::Lines) ||
            int(style.plotStyle) > int(PlotStyle::Bars))
            return QStringLiteral("the plot style %1 of series %2 is unknown")
                .arg(int(style.plotStyle))
                .arg(i + 1);
        if (style.decimals < 0 || style.decimals > MaxTableDecimals)
            return QStringLiteral("the decimals %1 of series %2 are outside 0 to %3")
                .arg(style.decimals)
                .arg(i + 1)
                .arg(MaxTableDecimals);
    }
    if (int(m.plotStyle) < int(PlotStyle::Lines) || int(m.plotStyle) > int(PlotStyle::Bars))
        return QStringLiteral("the plot style %1 is unknown").arg(int(m.plotStyle));
    // The plotter puts at most all series on the right axis, so a count left
    // over from a chart with more series is harmless and kept as it is.
    if (m.rightAxisSeries < 0 || m.rightAxisSeries > ChartFileMaxSeries)
        return QStringLiteral("the right-axis series count %1 is outside 0 to %2")
            .arg(m.rightAxisSeries)
            .arg(ChartFileMaxSeries);

    const struct {
        const char* name;
        double value;
    } numbers[] = {{"left axis minimum", m.leftMin},
                   {"left axis maximum", m.leftMax},
                   {"right axis minimum", m.rightMin},
                   {"right axis maximum", m.rightMax},
                   {"points per day", m.pointsPerDay},
                   {"first point time", m.firstPointTime},
                   {"first annotation's value", m.annotations[0].value},
                   {"second annotation's value", m.annotations[1].value}};
    for (const auto& number : numbers) {
        if (!finite(number.value))
            return QStringLiteral("the %1 is not a finite number").arg(QLatin1String(number.name));
    }
    if (m.firstPointTime < EarliestFirstPointTime || m.firstPointTime >= LatestFirstPointTime)
        return QStringLiteral("the first point time %1 is not in the years 100 to 9999")
            .arg(m.firstPointTime);
    if (m.minutesPerPoint < 1)
        return QStringLiteral("the minutes per point %1 are fewer than 1").arg(m.minutesPerPoint);

    for (std::size_t i = 0; i < m.annotations.size(); ++i) {
        const Annotation& annotation = m.annotations[i];
        if (annotation.axis != 0 && annotation.axis != 1)
            return QStringLiteral("the axis %1 of annotation %2 is neither 0 nor 1")
                .arg(annotation.axis)
                .arg(i + 1);
        if (!knownLineType(annotation.lineType))
            return QStringLiteral("the line type %1 of annotation %2 is unknown")
                .arg(int(annotation.lineType))
                .arg(i + 1);
        const QString colour = colorProblem(rawColor(annotation.color));
        if (!colour.isEmpty())
            return QStringLiteral("the colour of annotation %1 is invalid: %2")
                .arg(i + 1)
                .arg(colour);
    }
    for (const QColor& axisColor : {m.leftColor, m.rightColor}) {
        const QString colour = colorProblem(rawColor(axisColor));
        if (!colour.isEmpty())
            return QStringLiteral("an axis colour is invalid: %1").arg(colour);
    }

    if (m.fontSize < FontLarge || m.fontSize > FontSmall)
        return QStringLiteral("the font size %1 is not 0, 1 or 2").arg(m.fontSize);
    if (m.tableMode != TableGraphOnly && m.tableMode != TableGraphWithTable)
        return QStringLiteral("the table mode %1 is neither %2 nor %3")
            .arg(m.tableMode)
            .arg(TableGraphOnly)
            .arg(TableGraphWithTable);
    if (int(m.legend) < int(LegendPosition::Hidden) || int(m.legend) > int(LegendPosition::Right))
        return QStringLiteral("the legend position %1 is unknown").arg(int(m.legend));

    if (m.shading.size() > std::size_t(ChartFileMaxStretches))
        return QStringLiteral("it has %1 shaded stretches; a chart has at most %2")
            .arg(m.shading.size())
            .arg(ChartFileMaxStretches);
    for (std::size_t i = 0; i < m.shading.size(); ++i) {
        const ShadedStretch& s = m.shading[i];
        if (s.kind != ShadedStretch::Outage && s.kind != ShadedStretch::NoData)
            return QStringLiteral("the kind %1 of shaded stretch %2 is unknown")
                .arg(int(s.kind))
                .arg(i + 1);
        if (!finite(s.begin) || !finite(s.end) || s.begin < EarliestFirstPointTime ||
            s.end >= LatestFirstPointTime)
            return QStringLiteral("shaded stretch %1 is not in the years 100 to 9999").arg(i + 1);
        if (s.begin > s.end)
            return QStringLiteral("shaded stretch %1 ends before it begins").arg(i + 1);
        if (s.seconds < 0 || s.lostPolls < 0)
            return QStringLiteral("shaded stretch %1 has a negative duration or count").arg(i + 1);
    }

    if (!m.shapes.empty() && m.shapes.size() != std::size_t(m.pointCount))
        return QStringLiteral("it holds the spread of %1 buckets for %2 points")
            .arg(m.shapes.size())
            .arg(m.pointCount);
    for (std::size_t i = 0; i < m.shapes.size(); ++i) {
        const BucketShape& b = m.shapes[i];
        for (float figure : {b.p5, b.median, b.p95, b.jitter}) {
            if (!std::isfinite(figure) || (figure < 0 && figure != -1))
                return QStringLiteral("a spread figure of bucket %1 is neither -1 nor a "
                                      "finite number from 0")
                    .arg(i + 1);
        }
        if (b.replied < 0 || b.polls < b.replied)
            return QStringLiteral("bucket %1 has %2 replied of %3 polls")
                .arg(i + 1)
                .arg(b.replied)
                .arg(b.polls);
    }
    return {};
}

QByteArray encodeChartFile(const ChartModel& model) {
    QByteArray out;
    out.append(Magic.data(), qsizetype(Magic.size()));
    appendU32(out, FormatVersion);
    appendU32(out, 0); // the file size, filled in below

    appendSection(out, ConfigTag,
                  QJsonDocument(configToJson(model)).toJson(QJsonDocument::Indented));

    QByteArray data;
    data.reserve(8 + 4 * qsizetype(model.values.size()));
    appendU32(data, static_cast<quint32>(model.seriesCount));
    appendU32(data, static_cast<quint32>(model.pointCount));
    for (float value : model.values)
        appendU32(data, std::bit_cast<quint32>(value));
    appendSection(out, DataTag, data);
    // A chart without shading is written as before it was known.
    if (!model.shading.empty() || !model.showShading || !model.availability.isEmpty())
        appendSection(out, ShadingTag,
                      QJsonDocument(shadingToJson(model)).toJson(QJsonDocument::Compact));
    // So is a chart that neither knows nor shows the spread.
    if (model.latency.any() || !model.shapes.empty())
        appendSection(out, LatencyTag, latencySection(model));

    writeU32(out, 12, static_cast<quint32>(out.size() + ChecksumSize));
    appendU32(out, crc32(out.constData(), out.size()));
    return out;
}

std::optional<ChartModel> decodeChartFile(const QByteArray& bytes, QString* error) {
    try {
        return decode(bytes);
    } catch (const Error& e) {
        fail(error, e.description());
        return std::nullopt;
    }
}

bool saveChartFile(const ChartModel& model, const QString& path, QString* error) {
    const QString problem = chartFileProblem(model);
    if (!problem.isEmpty())
        return fail(error, QStringLiteral("The chart cannot be saved: %1.").arg(problem));
    const QByteArray bytes = encodeChartFile(model);
    if (bytes.size() > ChartFileMaxBytes)
        return fail(error, QStringLiteral("The chart is too large for a chart file (%1 bytes; a "
                                          "chart file holds at most %2).")
                               .arg(bytes.size())
                               .arg(ChartFileMaxBytes));

    // Written to a temporary file beside the target and renamed over the
    // target only once everything is written.
    if (QString reason; !writeOutputFile(path, bytes, &reason)) {
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        return fail(error, QStringLiteral("The chart file cannot be written: %1.").arg(reason));
    }
    return true;
}

std::optional<ChartModel> loadChartFile(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        fail(error, QStringLiteral("The file does not exist."));
        return std::nullopt;
    }
    if (info.isDir()) {
        fail(error, QStringLiteral("The path names a folder, not a file."));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("The file cannot be read: %1.").arg(file.errorString()));
        return std::nullopt;
    }
    // The size is checked before anything is read, so a huge file never
    // reaches memory.
    const qint64 size = file.size();
    if (size > ChartFileMaxBytes) {
        fail(error, QStringLiteral("The file is too large to be a chart file (%1 bytes; a chart "
                                   "file holds at most %2).")
                        .arg(size)
                        .arg(ChartFileMaxBytes));
        return std::nullopt;
    }
    const QByteArray bytes = file.read(size);
    if (bytes.size() != size && file.error() != QFileDevice::NoError) {
        fail(error, QStringLiteral("The file cannot be read: %1.").arg(file.errorString()));
        return std::nullopt;
    }
    return decodeChartFile(bytes, error);
}

} // namespace tarnvue

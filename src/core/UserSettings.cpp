#include "UserSettings.h"

#include <QSettings>

namespace tarnvue {

namespace {

QString spreadKey(UserSettings::Spread which) {
    switch (which) {
    case UserSettings::Spread::Median:
        return QStringLiteral("Chart/Median");
    case UserSettings::Spread::P95:
        return QStringLiteral("Chart/Percentile95");
    case UserSettings::Spread::Band:
        return QStringLiteral("Chart/SpreadBand");
    case UserSettings::Spread::Jitter:
        return QStringLiteral("Chart/Jitter");
    case UserSettings::Spread::ClipSpikes:
        break;
    }
    return QStringLiteral("Chart/ClipSpikes");
}

QString& storageFile() {
    static QString file;
    return file;
}

} // namespace

UserSettings::UserSettings() {
    if (storageFile().isEmpty())
        m_store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              QStringLiteral("Norvane"), QStringLiteral("Tarnvue"));
    else
        m_store = std::make_unique<QSettings>(storageFile(), QSettings::IniFormat);
}

UserSettings::~UserSettings() = default;

void UserSettings::setStorageFile(const QString& path) {
    storageFile() = path;
}

std::optional<int> UserSettings::number(const char* key, int lowest, int highest) const {
    bool ok = false;
    const int value = m_store->value(QLatin1String(key)).toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

QByteArray UserSettings::windowGeometry() const {
    return m_store->value(QStringLiteral("Window/Geometry")).toByteArray();
}

void UserSettings::setWindowGeometry(const QByteArray& geometry) {
    m_store->setValue(QStringLiteral("Window/Geometry"), geometry);
}

QByteArray UserSettings::windowState() const {
    return m_store->value(QStringLiteral("Window/State")).toByteArray();
}

void UserSettings::setWindowState(const QByteArray& state) {
    m_store->setValue(QStringLiteral("Window/State"), state);
}

std::optional<int> UserSettings::fontSize() const {
    return number("Chart/FontSize", 0, 2);
}

void UserSettings::setFontSize(int size) {
    m_store->setValue(QStringLiteral("Chart/FontSize"), size);
}

std::optional<bool> UserSettings::table() const {
    if (const auto value = number("Chart/Table", 0, 1))
        return *value == 1;
    return std::nullopt;
}

void UserSettings::setTable(bool table) {
    m_store->setValue(QStringLiteral("Chart/Table"), table ? 1 : 0);
}

std::optional<bool> UserSettings::gridLines() const {
    if (const auto value = number("Chart/GridLines", 0, 1))
        return *value == 1;
    return std::nullopt;
}

void UserSettings::setGridLines(bool gridLines) {
    m_store->setValue(QStringLiteral("Chart/GridLines"), gridLines ? 1 : 0);
}

std::optional<int> UserSettings::legend() const {
    return number("Chart/Legend", 0, 3);
}

void UserSettings::setLegend(int legend) {
    m_store->setValue(QStringLiteral("Chart/Legend"), legend);
}

std::optional<bool> UserSettings::spread(Spread which) const {
    if (const auto value = number(spreadKey(which).toLatin1().constData(), 0, 1))
        return *value == 1;
    return std::nullopt;
}

void UserSettings::setSpread(Spread which, bool on) {
    m_store->setValue(spreadKey(which), on ? 1 : 0);
}

std::optional<int> UserSettings::lastPeriod() const {
    return number("Chart/LastPeriod", 1, 7);
}

void UserSettings::setLastPeriod(int period) {
    m_store->setValue(QStringLiteral("Chart/LastPeriod"), period);
}

QString UserSettings::chosenDatabase() const {
    return m_store->value(QStringLiteral("Database/Chosen")).toString();
}

void UserSettings::setChosenDatabase(const QString& path) {
    m_store->setValue(QStringLiteral("Database/Chosen"), path);
}

QStringList UserSettings::recentCharts() const {
    return m_store->value(QStringLiteral("RecentCharts")).toStringList();
}

void UserSettings::setRecentCharts(const QStringList& entries) {
    m_store->setValue(QStringLiteral("RecentCharts"), entries);
}

} // namespace tarnvue

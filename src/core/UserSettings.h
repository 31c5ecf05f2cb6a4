#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QSettings;

namespace tarnvue {

// The choices a user keeps from one run to the next: the window's size and
// place, the chart's font size, table, grid lines, legend and response time
// spread switches, the last named
// period, the database chosen with Open Database and the recent charts. They
// are kept with QSettings under the program's own names (organisation
// "Norvane", application "Tarnvue"), apart from the product family's shared
// help key. A value that is missing or out of range reads as nothing, so a
// damaged settings file never reaches the window.
class UserSettings {
public:
    UserSettings();
    ~UserSettings();
    UserSettings(const UserSettings&) = delete;
    UserSettings& operator=(const UserSettings&) = delete;

    QByteArray windowGeometry() const;
    void setWindowGeometry(const QByteArray& geometry);
    QByteArray windowState() const;
    void setWindowState(const QByteArray& state);

    // The chart control's font size (0 large, 1 medium, 2 small).
    std::optional<int> fontSize() const;
    void setFontSize(int size);
    std::optional<bool> table() const;
    void setTable(bool table);
    std::optional<bool> gridLines() const;
    void setGridLines(bool gridLines);
    // The legend's place (0 hidden, 1 top, 2 bottom, 3 right).
    std::optional<int> legend() const;
    void setLegend(int legend);
    // The chart's response time spread switches, each on or off.
    enum class Spread { Median, P95, Band, Jitter, ClipSpikes };
    std::optional<bool> spread(Spread which) const;
    void setSpread(Spread which, bool on);
    // The last named period (1 to 7); the custom period is not kept.
    std::optional<int> lastPeriod() const;
    void setLastPeriod(int period);

    // The monitor database the user chose; empty when none.
    QString chosenDatabase() const;
    void setChosenDatabase(const QString& path);

    // The recent charts as stored entries, most recent first.
    QStringList recentCharts() const;
    void setRecentCharts(const QStringList& entries);

    // Keeps the settings in this file (INI format) instead of the user's
    // configuration folder; tests use it. An empty path restores the user's.
    static void setStorageFile(const QString& path);

private:
    std::optional<int> number(const char* key, int lowest, int highest) const;

    std::unique_ptr<QSettings> m_store;
};

} // namespace tarnvue

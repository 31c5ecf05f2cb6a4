#pragma once

// What the window and program tests share: one monitor database and the
// time they run at.

#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "app/GraphForm.h"
#include "core/DateValue.h"

#include <QAction>
#include <QtTest>

namespace tarnvue::test {

inline const QDateTime Now(QDate(2026, 11, 2), QTime(14, 37));

// router5 polled every 5 minutes for eight days until 15:00 today; switch6
// today, without replies from 06:00 to 06:55 and without polls from 09:00 to
// 09:55; router1 never polled; node 7 without a name; node 8 with a name no
// file name may carry.
inline void writeMonitorDatabase(const QString& path) {
    TestDatabase db(path);
    db.addNode(1, QStringLiteral("router1"), QStringLiteral("10.0.0.1"));
    db.addNode(5, QStringLiteral("router5"), QStringLiteral("10.0.0.5"));
    db.addNode(6, QStringLiteral("switch6"), QStringLiteral("10.0.0.6"));
    db.addNode(7, QVariant(), QStringLiteral("10.0.0.7"));
    db.addNode(8, QStringLiteral("Core: Router / 10.0.0.8"), QStringLiteral("10.0.0.8"));
    const double day = DateValue::fromDateTime(Now.date());
    for (int minute = -8 * 1440; minute < 15 * 60; minute += 5) {
        db.addSample(5, day + minute / 1440.0, 10 + (minute / 5) % 7, 9, 20, 0);
        if (minute >= 0)
            db.addSample(8, day + minute / 1440.0, 12, 9, 20, 0);
    }
    for (int minute = 0; minute <= 14 * 60 + 30; minute += 5) {
        if (minute >= 9 * 60 && minute < 10 * 60)
            continue;
        const bool lost = minute >= 6 * 60 && minute < 7 * 60;
        db.addSample(6, day + minute / 1440.0, lost ? -1 : 20, lost ? -1 : 18, lost ? -1 : 25,
                     lost ? 100 : 0);
    }
}

inline QAction* command(QWidget& window, const char* name) {
    auto* action = window.findChild<QAction*>(QLatin1String(name));
    if (!action)
        qFatal("no command %s", name);
    return action;
}

} // namespace tarnvue::test

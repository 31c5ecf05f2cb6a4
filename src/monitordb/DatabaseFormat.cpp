#include "DatabaseFormat.h"

#include <QFile>
#include <QFileInfo>

namespace tarnvue {

DatabaseFormat detectDatabaseFormat(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return DatabaseFormat::Missing;
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return DatabaseFormat::Unreadable;
    const QByteArray header = file.read(32);
    if (header.isEmpty())
        return DatabaseFormat::Empty;
    if (header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return DatabaseFormat::SQLite;
    // Jet and ACE files start with a page whose bytes 4..19 name the engine and
    // whose byte 20 gives the version: 0 Jet 3, 1 Jet 4, 2 and above ACE.
    if (header.size() > 20 && header.mid(0, 4) == QByteArray("\x00\x01\x00\x00", 4)) {
        const QByteArray engine = header.mid(4, 15);
        const auto version = static_cast<unsigned char>(header.at(20));
        if (engine == QByteArrayLiteral("Standard ACE DB"))
            return DatabaseFormat::Ace;
        if (engine == QByteArrayLiteral("Standard Jet DB"))
            return version == 0 ? DatabaseFormat::Jet3
                                : (version == 1 ? DatabaseFormat::Jet4 : DatabaseFormat::Ace);
    }
    return DatabaseFormat::Unknown;
}

QString describeDatabaseFormat(DatabaseFormat format) {
    switch (format) {
    case DatabaseFormat::Missing:
        return QStringLiteral("a missing file");
    case DatabaseFormat::Unreadable:
        return QStringLiteral("an unreadable file");
    case DatabaseFormat::Empty:
        return QStringLiteral("an empty file");
    case DatabaseFormat::SQLite:
        return QStringLiteral("an SQLite database");
    case DatabaseFormat::Jet3:
        return QStringLiteral("an Access (Jet 3) database");
    case DatabaseFormat::Jet4:
        return QStringLiteral("an Access (Jet 4) database");
    case DatabaseFormat::Ace:
        return QStringLiteral("an Access (ACE) database");
    case DatabaseFormat::Unknown:
        break;
    }
    return QStringLiteral("a file of unknown format");
}

} // namespace tarnvue

#pragma once

#include <QString>

namespace tarnvue {

// What kind of file a monitor database is, judged by its header.
enum class DatabaseFormat {
    Missing,    // no such file
    Unreadable, // exists but cannot be read
    Empty,      // zero bytes
    SQLite,
    Jet3, // Access 97
    Jet4, // Access 2000 to 2003
    Ace,  // Access 2007 and later
    Unknown,
};

DatabaseFormat detectDatabaseFormat(const QString& path);

// A name for the format, for messages ("an Access (Jet 4) database").
QString describeDatabaseFormat(DatabaseFormat format);

} // namespace tarnvue

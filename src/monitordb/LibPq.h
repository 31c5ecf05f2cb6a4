#pragma once

#include <QString>

namespace tarnvue {

// The PostgreSQL client library is loaded the first time a PostgreSQL
// database is opened, not when the program starts: it brings some twenty
// libraries of its own (TLS, Kerberos, LDAP), whose loading would lengthen
// every start, also of those that only ever read a file. Empty when the
// library is loaded; otherwise why it could not be, for the user to read.
QString postgresClientProblem();

} // namespace tarnvue

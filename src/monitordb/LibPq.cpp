#include "LibPq.h"

#include <dlfcn.h>
#include <libpq-fe.h>

// The program calls libpq's functions by their own names; each is defined
// here once, as a call through the address found in the library when it is
// loaded. The declarations in libpq-fe.h make the compiler check that every
// forwarder has the library's own signature.

namespace tarnvue {

namespace {

#define TARNVUE_LIBPQ_FUNCTIONS(X)                                                                 \
    X(PQclear)                                                                                     \
    X(PQconnectdbParams)                                                                           \
    X(PQconnectionNeedsPassword)                                                                   \
    X(PQdb)                                                                                        \
    X(PQerrorMessage)                                                                              \
    X(PQescapeIdentifier)                                                                          \
    X(PQexec)                                                                                      \
    X(PQexecParams)                                                                                \
    X(PQfinish)                                                                                    \
    X(PQfnumber)                                                                                   \
    X(PQfreemem)                                                                                   \
    X(PQftype)                                                                                     \
    X(PQgetResult)                                                                                 \
    X(PQgetisnull)                                                                                 \
    X(PQgetlength)                                                                                 \
    X(PQgetvalue)                                                                                  \
    X(PQhost)                                                                                      \
    X(PQntuples)                                                                                   \
    X(PQport)                                                                                      \
    X(PQputCopyData)                                                                               \
    X(PQputCopyEnd)                                                                                \
    X(PQreset)                                                                                     \
    X(PQresultErrorField)                                                                          \
    X(PQresultStatus)                                                                              \
    X(PQsetNoticeProcessor)                                                                        \
    X(PQstatus)                                                                                    \
    X(PQtransactionStatus)                                                                         \
    X(PQuser)

struct Library {
#define TARNVUE_LIBPQ_POINTER(name) decltype(&::name) name = nullptr;
    TARNVUE_LIBPQ_FUNCTIONS(TARNVUE_LIBPQ_POINTER)
#undef TARNVUE_LIBPQ_POINTER
    QString problem;
};

Library load() {
    Library library;
    // The run-time name of the library's current interface (libpq5).
    void* handle = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        library.problem =
            QStringLiteral("The PostgreSQL client library (libpq5) is not installed: ") +
            QString::fromLocal8Bit(dlerror());
        return library;
    }
#define TARNVUE_LIBPQ_RESOLVE(name)                                                                \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                      \
    if (!library.name && library.problem.isEmpty())                                                \
        library.problem = QStringLiteral(                                                          \
            "The PostgreSQL client library (libpq5) is too old: it has no " #name ".");
    TARNVUE_LIBPQ_FUNCTIONS(TARNVUE_LIBPQ_RESOLVE)
#undef TARNVUE_LIBPQ_RESOLVE
    return library;
}

// Loaded once, by whichever thread asks first.
const Library& library() {
    static const Library loaded = load();
    return loaded;
}

} // namespace

QString postgresClientProblem() {
    return library().problem;
}

} // namespace tarnvue

// The library's functions under their own names. Each is reached only through
// a connection, and a connection is made only after postgresClientProblem()
// found the library complete.
extern "C" {

void PQclear(PGresult* res) {
    tarnvue::library().PQclear(res);
}

PGconn* PQconnectdbParams(const char* const* keywords, const char* const* values,
                          int expandDbname) {
    return tarnvue::library().PQconnectdbParams(keywords, values, expandDbname);
}

int PQconnectionNeedsPassword(const PGconn* conn) {
    return tarnvue::library().PQconnectionNeedsPassword(conn);
}

char* PQdb(const PGconn* conn) {
    return tarnvue::library().PQdb(conn);
}

char* PQerrorMessage(const PGconn* conn) {
    return tarnvue::library().PQerrorMessage(conn);
}

char* PQescapeIdentifier(PGconn* conn, const char* str, size_t length) {
    return tarnvue::library().PQescapeIdentifier(conn, str, length);
}

PGresult* PQexec(PGconn* conn, const char* query) {
    return tarnvue::library().PQexec(conn, query);
}

PGresult* PQexecParams(PGconn* conn, const char* command, int count, const Oid* types,
                       const char* const* values, const int* lengths, const int* formats,
                       int resultFormat) {
    return tarnvue::library().PQexecParams(conn, command, count, types, values, lengths, formats,
                                           resultFormat);
}

void PQfinish(PGconn* conn) {
    tarnvue::library().PQfinish(conn);
}

int PQfnumber(const PGresult* res, const char* name) {
    return tarnvue::library().PQfnumber(res, name);
}

void PQfreemem(void* pointer) {
    tarnvue::library().PQfreemem(pointer);
}

Oid PQftype(const PGresult* res, int field) {
    return tarnvue::library().PQftype(res, field);
}

PGresult* PQgetResult(PGconn* conn) {
    return tarnvue::library().PQgetResult(conn);
}

int PQgetisnull(const PGresult* res, int row, int field) {
    return tarnvue::library().PQgetisnull(res, row, field);
}

int PQgetlength(const PGresult* res, int row, int field) {
    return tarnvue::library().PQgetlength(res, row, field);
}

char* PQgetvalue(const PGresult* res, int row, int field) {
    return tarnvue::library().PQgetvalue(res, row, field);
}

char* PQhost(const PGconn* conn) {
    return tarnvue::library().PQhost(conn);
}

int PQntuples(const PGresult* res) {
    return tarnvue::library().PQntuples(res);
}

char* PQport(const PGconn* conn) {
    return tarnvue::library().PQport(conn);
}

int PQputCopyData(PGconn* conn, const char* buffer, int bytes) {
    return tarnvue::library().PQputCopyData(conn, buffer, bytes);
}

int PQputCopyEnd(PGconn* conn, const char* error) {
    return tarnvue::library().PQputCopyEnd(conn, error);
}

void PQreset(PGconn* conn) {
    tarnvue::library().PQreset(conn);
}

char* PQresultErrorField(const PGresult* res, int code) {
    return tarnvue::library().PQresultErrorField(res, code);
}

ExecStatusType PQresultStatus(const PGresult* res) {
    return tarnvue::library().PQresultStatus(res);
}

PQnoticeProcessor PQsetNoticeProcessor(PGconn* conn, PQnoticeProcessor processor, void* argument) {
    return tarnvue::library().PQsetNoticeProcessor(conn, processor, argument);
}

ConnStatusType PQstatus(const PGconn* conn) {
    return tarnvue::library().PQstatus(conn);
}

PGTransactionStatusType PQtransactionStatus(const PGconn* conn) {
    return tarnvue::library().PQtransactionStatus(conn);
}

char* PQuser(const PGconn* conn) {
    return tarnvue::library().PQuser(conn);
}

} // extern "C"

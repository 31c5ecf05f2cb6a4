#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace tarnvue::test {

// A throwaway PostgreSQL cluster for one test program: initdb and pg_ctl in a
// temporary folder, listening on a free loopback port, run as the unprivileged
// "postgres" (or "nobody") user when the tests run as root. It has one
// superuser, "tarnvue", whose password the tests hand libpq through a passfile.
class PostgresServer {
public:
    // The program's one server, started on the first call; null when it
    // cannot be started, with the reason in `why`.
    static PostgresServer* shared(QString* why);
    // Whether a server's programs are installed at all.
    static bool installed();
    ~PostgresServer();

    // A connection URI for a database of this server (created on first use),
    // with extra query parameters ("options=...").
    QString uri(const QString& database, const QString& extra = {}) const;
    // The same, through a passfile that holds the wrong password.
    QString uriWithWrongPassword(const QString& database) const;
    int port() const { return m_port; }

private:
    PostgresServer() = default;
    bool start(QString* why);
    bool run(const QStringList& command, QString* why) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_bin;
    QString m_user; // who runs the server; empty: the current user
    int m_port = 0;
    bool m_started = false;
};

} // namespace tarnvue::test

// Skips the test where no server is installed, outside CI; fails where one
// is installed but cannot be started, and in CI, where one must run.
#define TARNVUE_REQUIRE_POSTGRES(server)                                                           \
    do {                                                                                           \
        QString why_;                                                                              \
        server = tarnvue::test::PostgresServer::shared(&why_);                                     \
        if (!server) {                                                                             \
            if (qEnvironmentVariableIsSet("CI") || tarnvue::test::PostgresServer::installed())     \
                QFAIL(qPrintable(why_));                                                           \
            QSKIP(qPrintable(why_));                                                               \
        }                                                                                          \
    } while (false)

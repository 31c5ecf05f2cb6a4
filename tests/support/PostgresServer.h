#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace tarnvue::test {

// A throwaway PostgreSQL cluster for one test program: initdb and pg_ctl in a
// temporary folder, listening on a free loopback port, run as the unprivileged
// "postgres" (or "nobody") user when the tests run as root. It has one
// superuser, "tarnvue", whose password is in the URIs the tests are given.
class PostgresServer {
public:
    // The program's one server, started on the first call; null when it
    // cannot be started, with the reason in `why`, which is then also told
    // whether the test must fail: where a server is installed but does not
    // start, and in CI, where one must run. Elsewhere a test may skip.
    static PostgresServer* shared(QString* why, bool* mustFail);
    ~PostgresServer();

    // A connection URI for a database of this server (created on first use),
    // with extra query parameters ("options=...").
    QString uri(const QString& database, const QString& extra = {}) const;
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

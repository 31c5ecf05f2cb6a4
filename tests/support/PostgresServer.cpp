#include "PostgresServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QVersionNumber>
#include <exception>
#include <pwd.h>
#include <unistd.h>

namespace tarnvue::test {

using namespace Qt::StringLiterals;

namespace {

const QByteArray Password = "tarnvue-secret";

// The newest installed server's programs (Debian keeps them out of PATH).
QString serverBin() {
    const QString root = u"/usr/lib/postgresql/"_s;
    QVersionNumber newest;
    for (const QString& version : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFile::exists(root + version + u"/bin/initdb"_s))
            newest = std::max(newest, QVersionNumber::fromString(version));
    }
    return newest.isNull() ? QString() : root + newest.toString() + u"/bin"_s;
}

bool writeFile(const QString& path, const QByteArray& text, QFile::Permissions permissions) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() &&
           file.setPermissions(permissions);
}

std::unique_ptr<PostgresServer>& sharedServer() {
    static std::unique_ptr<PostgresServer> server;
    return server;
}

} // namespace

PostgresServer* PostgresServer::shared(QString* why, bool* mustFail) {
    auto& server = sharedServer();
    static QString failure;
    if (!server && failure.isEmpty()) {
        std::unique_ptr<PostgresServer> candidate(new PostgresServer);
        if (candidate->start(&failure))
            server = std::move(candidate);
        // A test that dies of an uncaught exception stops the server first.
        static const std::terminate_handler previous = std::set_terminate([] {
            sharedServer().reset();
            previous();
        });
    }
    *why = failure;
    *mustFail = !server && (qEnvironmentVariableIsSet("CI") || !serverBin().isEmpty());
    return server.get();
}

bool PostgresServer::run(const QStringList& command, QString* why) const {
    QStringList arguments = command;
    QString program = m_bin + QLatin1Char('/') + arguments.takeFirst();
    if (!m_user.isEmpty()) {
        arguments = QStringList{u"-u"_s, m_user, u"--"_s, program} + arguments;
        program = u"runuser"_s;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(120000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok)
        *why = command.first() + u" failed: "_s + QString::fromLocal8Bit(process.readAll()) +
               process.errorString();
    return ok;
}

bool PostgresServer::start(QString* why) {
    m_bin = serverBin();
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + u"/tarnvue-pg-XXXXXX"_s);
    const QString dir = m_dir->path();
    *why = u"No PostgreSQL server is installed (scripts/install-deps installs it)."_s;
    if (m_bin.isEmpty() || !m_dir->isValid() ||
        !writeFile(dir + u"/pwfile"_s, Password + '\n',
                   QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup))
        return false;
    // The server refuses to run as root: hand the folder to a plain user.
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("postgres");
        if (!user)
            user = ::getpwnam("nobody");
        if (!user || ::chown(QFile::encodeName(dir).constData(), user->pw_uid, user->pw_gid) != 0) {
            *why = u"No unprivileged user to run the server as."_s;
            return false;
        }
        m_user = QString::fromLocal8Bit(user->pw_name);
    }
    const QString data = dir + u"/data"_s;
    if (!run({"initdb", "-D", data, "-U", "tarnvue", "--pwfile=" + dir + "/pwfile",
              "--auth-host=scram-sha-256", "--auth-local=trust", "-E", "UTF8", "--locale=C",
              "--no-sync"},
             why))
        return false;
    // A port of this process's own, or the next when another program has it.
    for (int attempt = 0; attempt < 5 && !m_started; ++attempt) {
        m_port = 20000 + (::getpid() * 5 + attempt) % 30000;
        m_started =
            run({"pg_ctl", "-D", data, "-l", dir + "/server.log", "-w", "-t", "60", "start", "-o",
                 u"-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off"_s.arg(m_port).arg(dir)},
                why);
    }
    return m_started;
}

PostgresServer::~PostgresServer() {
    QString ignored;
    if (m_started)
        run({"pg_ctl", "-D", m_dir->path() + "/data", "-m", "immediate", "-w", "stop"}, &ignored);
}

QString PostgresServer::uri(const QString& database, const QString& extra) const {
    return u"postgresql://tarnvue:%1@127.0.0.1:%2/%3?%4"_s.arg(QString::fromLatin1(Password))
        .arg(m_port)
        .arg(database, extra);
}

} // namespace tarnvue::test

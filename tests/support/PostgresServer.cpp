#include "PostgresServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QVersionNumber>
#include <exception>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnvue::test {

namespace {

const char* const Password = "tarnvue-secret";

// A loopback port nobody listens on right now.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// The newest installed server's programs (Debian keeps them out of PATH).
QString serverBin() {
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList names = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QVersionNumber::fromString(a) > QVersionNumber::fromString(b);
    });
    for (const QString& name : names) {
        const QString bin = versions.filePath(name + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    return initdb.isEmpty() ? QString() : QFileInfo(initdb).path();
}

bool writeFile(const QString& path, const QByteArray& text, QFile::Permissions permissions) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() &&
           file.setPermissions(permissions);
}

} // namespace

namespace {
std::unique_ptr<PostgresServer>& sharedServer() {
    static std::unique_ptr<PostgresServer> server;
    return server;
}
} // namespace

PostgresServer* PostgresServer::shared(QString* why) {
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
    if (!server && why)
        *why = failure;
    return server.get();
}

bool PostgresServer::run(const QStringList& command, QString* why) const {
    QStringList arguments = command;
    QString program = m_bin + QLatin1Char('/') + arguments.takeFirst();
    if (!m_user.isEmpty()) {
        arguments = QStringList{QStringLiteral("-u"), m_user, QStringLiteral("--"), program} +
                    arguments;
        program = QStringLiteral("runuser");
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *why = QStringLiteral("%1 failed: %2").arg(command.first(),
                                                    QString::fromLocal8Bit(process.readAll()) +
                                                        process.errorString());
        return false;
    }
    return true;
}

bool PostgresServer::start(QString* why) {
    m_bin = serverBin();
    if (m_bin.isEmpty()) {
        *why = QStringLiteral("No PostgreSQL server is installed (initdb not found); "
                              "scripts/install-deps installs it.");
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tarnvue-pg-XXXXXX"));
    if (!m_dir->isValid()) {
        *why = QStringLiteral("Cannot make a temporary folder for the server.");
        return false;
    }
    const QString dir = m_dir->path();
    if (!writeFile(dir + QStringLiteral("/pwfile"), QByteArray(Password) + '\n',
                   QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup))
        return false;
    // The server refuses to run as root: hand the folder to a plain user.
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("postgres");
        if (!user)
            user = ::getpwnam("nobody");
        if (!user) {
            *why = QStringLiteral("No unprivileged user to run the server as.");
            return false;
        }
        m_user = QString::fromLocal8Bit(user->pw_name);
        if (::chown(QFile::encodeName(dir).constData(), user->pw_uid, user->pw_gid) != 0) {
            *why = QStringLiteral("Cannot hand the server's folder to %1.").arg(m_user);
            return false;
        }
    }
    if (!run({QStringLiteral("initdb"), QStringLiteral("-D"), dir + QStringLiteral("/data"),
              QStringLiteral("-U"), QStringLiteral("tarnvue"),
              QStringLiteral("--pwfile=") + dir + QStringLiteral("/pwfile"),
              QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("--auth-local=trust"),
              QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
              QStringLiteral("--no-sync")},
             why))
        return false;
    for (int attempt = 0; attempt < 3 && !m_started; ++attempt) {
        m_port = freePort();
        const QString options =
            QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                           "-c synchronous_commit=off -c full_page_writes=off")
                .arg(m_port)
                .arg(dir);
        m_started = run({QStringLiteral("pg_ctl"), QStringLiteral("-D"),
                         dir + QStringLiteral("/data"), QStringLiteral("-l"),
                         dir + QStringLiteral("/server.log"), QStringLiteral("-w"),
                         QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"), options,
                         QStringLiteral("start")},
                        why);
    }
    if (!m_started)
        return false;
    const QByteArray entry = "127.0.0.1:" + QByteArray::number(m_port) + ":*:tarnvue:";
    const auto secret = QFile::ReadOwner | QFile::WriteOwner;
    return writeFile(dir + QStringLiteral("/pgpass"), entry + Password + '\n', secret) &&
           writeFile(dir + QStringLiteral("/pgpass-wrong"), entry + "not-the-password\n", secret);
}

PostgresServer::~PostgresServer() {
    if (!m_started)
        return;
    QString ignored;
    run({QStringLiteral("pg_ctl"), QStringLiteral("-D"), m_dir->path() + QStringLiteral("/data"),
         QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
         QStringLiteral("stop")},
        &ignored);
}

QString PostgresServer::uri(const QString& database, const QString& extra) const {
    QString text = QStringLiteral("postgresql://tarnvue@127.0.0.1:%1/%2?passfile=%3/pgpass")
                       .arg(m_port)
                       .arg(database, m_dir->path());
    if (!extra.isEmpty())
        text += QLatin1Char('&') + extra;
    return text;
}

QString PostgresServer::uriWithWrongPassword(const QString& database) const {
    QString text = uri(database);
    text.replace(QStringLiteral("/pgpass"), QStringLiteral("/pgpass-wrong"));
    return text;
}

} // namespace tarnvue::test

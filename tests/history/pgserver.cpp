// SPDX-License-Identifier: MIT
#include "pgserver.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString Admin = QStringLiteral("pgserver-admin");

// The newest server of those installed: /usr/lib/postgresql/<version>/bin.
QString serverFolder() {
    int best = 0;
    for (const QString& version : QDir(QStringLiteral("/usr/lib/postgresql")).entryList()) {
        if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(version))) {
            best = std::max(best, version.toInt());
        }
    }
    return best > 0 ? QStringLiteral("/usr/lib/postgresql/%1/bin").arg(best) : QString();
}

// A port nobody listens on now.
int freePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(s);
    return port;
}

} // namespace

PgServer::PgServer() : m_scratch(QDir::tempPath() + QStringLiteral("/quill-pg-XXXXXX")) {
    if (!start()) {
        QFile log(m_scratch.filePath(QStringLiteral("server.log")));
        if (log.open(QIODevice::ReadOnly)) {
            m_failure += "\n" + log.readAll().toStdString();
        }
    }
}

PgServer::~PgServer() {
    QSqlDatabase::database(Admin, false).close();
    QSqlDatabase::removeDatabase(Admin);
    if (m_server.state() != QProcess::NotRunning) {
        ::kill(static_cast<pid_t>(m_server.processId()), SIGINT); // fast shutdown
        if (!m_server.waitForFinished(20000)) {
            m_server.kill();
            m_server.waitForFinished();
        }
    }
}

// Under root: as "postgres", through setpriv. The server is told to stop
// when this process dies, so a crashed test leaves no server behind.
bool PgServer::runAsServerUser(const QString& program, const QStringList& arguments) {
    QStringList wrapped{QStringLiteral("--pdeathsig=INT")};
    if (geteuid() == 0) {
        wrapped << QStringLiteral("--reuid=postgres") << QStringLiteral("--regid=postgres")
                << QStringLiteral("--init-groups");
    }
    m_server.setProgram(QStringLiteral("setpriv"));
    m_server.setArguments(wrapped << QStringLiteral("--") << m_bin + u'/' + program << arguments);
    m_server.setStandardOutputFile(m_scratch.filePath(QStringLiteral("server.log")),
                                   QIODevice::Append);
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start();
    return m_server.waitForStarted();
}

bool PgServer::start() {
    m_bin = serverFolder();
    if (!m_scratch.isValid() || m_bin.isEmpty()) {
        m_failure = "no scratch folder, or no PostgreSQL server in /usr/lib/postgresql "
                    "(scripts/deps.sh installs it)";
        return false;
    }
    const QString password = m_scratch.filePath(QStringLiteral("password"));
    QFile file(password);
    if (!file.open(QIODevice::WriteOnly) || file.write(Password) < 0) {
        m_failure = "cannot write " + password.toStdString();
        return false;
    }
    file.close();
    if (geteuid() == 0) {
        const passwd* postgres = getpwnam("postgres");
        if (postgres == nullptr ||
            chown(m_scratch.path().toLocal8Bit().constData(), postgres->pw_uid, postgres->pw_gid) !=
                0 ||
            chown(password.toLocal8Bit().constData(), postgres->pw_uid, postgres->pw_gid) != 0) {
            m_failure = "running as root, and no user postgres to run the server as";
            return false;
        }
    }
    const QString data = m_scratch.filePath(QStringLiteral("data"));
    if (!runAsServerUser(
            QStringLiteral("initdb"),
            {QStringLiteral("-D"), data, QStringLiteral("-U"), QString::fromLatin1(User),
             QStringLiteral("--pwfile=") + password, QStringLiteral("--auth-local=trust"),
             QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("-E"),
             QStringLiteral("UTF8"), QStringLiteral("--no-locale"), QStringLiteral("--no-sync")}) ||
        !m_server.waitForFinished(60000) || m_server.exitCode() != 0) {
        m_failure = "initdb failed";
        return false;
    }
    m_port = freePort();
    // No durability wanted of a cluster that lives for one test.
    if (!runAsServerUser(QStringLiteral("postgres"),
                         {QStringLiteral("-D"), data, QStringLiteral("-k"), m_scratch.path(),
                          QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-c"),
                          QStringLiteral("listen_addresses=127.0.0.1"), QStringLiteral("-c"),
                          QStringLiteral("fsync=off")})) {
        m_failure = "the server did not start";
        return false;
    }
    QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), Admin);
    admin.setHostName(m_scratch.path());
    admin.setPort(m_port);
    admin.setUserName(QString::fromLatin1(User));
    admin.setDatabaseName(QStringLiteral("postgres"));
    for (int tries = 0; tries < 300 && m_server.state() == QProcess::Running; ++tries) {
        if (admin.open()) {
            return true;
        }
        QThread::msleep(100); // a real server takes its time to start
    }
    m_failure = "the server does not answer: " + admin.lastError().text().toStdString();
    return false;
}

std::string PgServer::newDatabase() {
    const std::string name = "history" + std::to_string(++m_databases);
    QSqlQuery create(QSqlDatabase::database(Admin, false));
    if (!create.exec(QStringLiteral("CREATE DATABASE ") + QString::fromStdString(name))) {
        m_failure = create.lastError().text().toStdString();
    }
    return name;
}

std::string PgServer::socketUrl(const std::string& database) const {
    return "postgresql://" + std::string(User) + "@/" + database +
           "?host=" + m_scratch.path().toStdString() + "&port=" + std::to_string(m_port);
}

std::string PgServer::tcpUrl(const std::string& database, const std::string& password) const {
    return "postgresql://" + std::string(User) + ":" + password +
           "@127.0.0.1:" + std::to_string(m_port) + "/" + database;
}

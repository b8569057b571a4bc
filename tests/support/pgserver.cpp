// SPDX-License-Identifier: MIT
#include "pgserver.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString Admin = QStringLiteral("pgserver-admin");
const QString Port = QStringLiteral("5432");

// The newest server installed: /usr/lib/postgresql/<version>/bin.
QString serverFolder() {
    int newest = 0;
    for (const QString& version : QDir(QStringLiteral("/usr/lib/postgresql")).entryList()) {
        if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(version))) {
            newest = std::max(newest, version.toInt());
        }
    }
    return newest > 0 ? QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(newest) : QString();
}

} // namespace

PgServer::PgServer() : m_scratch(QDir::tempPath() + QStringLiteral("/quill-pg-XXXXXX")) {
    if (!start()) {
        QFile log(m_scratch.filePath(QStringLiteral("server.log")));
        log.open(QIODevice::ReadOnly);
        m_failure += "\n" + log.readAll().toStdString();
    }
}

PgServer::~PgServer() {
    QSqlDatabase::database(Admin, false).close();
    QSqlDatabase::removeDatabase(Admin);
    if (m_server.state() != QProcess::NotRunning) {
        ::kill(static_cast<pid_t>(m_server.processId()), SIGINT); // a fast shutdown
        m_server.waitForFinished(20000);
    }
}

// Through setpriv: as "postgres" under root, and told to stop when this
// process dies, so that a crashed test leaves no server behind.
bool PgServer::run(const QString& program, const QStringList& arguments) {
    QStringList setpriv{QStringLiteral("--pdeathsig=INT")};
    if (geteuid() == 0) {
        setpriv << QStringLiteral("--reuid=postgres --regid=postgres --init-groups").split(u' ');
    }
    m_server.setStandardOutputFile(m_scratch.filePath(QStringLiteral("server.log")),
                                   QIODevice::Append);
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start(QStringLiteral("setpriv"),
                   setpriv << QStringLiteral("--") << serverFolder() + program << arguments);
    return m_server.waitForStarted();
}

bool PgServer::start() {
    const QString password = m_scratch.filePath(QStringLiteral("password"));
    QFile file(password);
    if (serverFolder().isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(Password) < 0) {
        m_failure = "no PostgreSQL server in /usr/lib/postgresql (scripts/deps.sh installs it), "
                    "or no scratch folder";
        return false;
    }
    file.close();
    const passwd* postgres = getpwnam("postgres");
    const auto give = [&](const QString& path) {
        return chown(QFile::encodeName(path).constData(), postgres->pw_uid, postgres->pw_gid) == 0;
    };
    if (geteuid() == 0 && (postgres == nullptr || !give(m_scratch.path()) || !give(password))) {
        m_failure = "running as root, and no user postgres to run the server as";
        return false;
    }
    const QStringList initdb =
        QStringLiteral("-U quill -E UTF8 --no-locale --no-sync --auth=scram-sha-256 -D").split(u' ')
        << m_scratch.filePath(QStringLiteral("data")) << QStringLiteral("--pwfile=") + password;
    if (!run(QStringLiteral("initdb"), initdb) || !m_server.waitForFinished(60000) ||
        m_server.exitCode() != 0) {
        m_failure = "initdb failed";
        return false;
    }
    return serve();
}

bool PgServer::serve() {
    // Nothing on the network, and no durability wanted of a cluster that
    // lives for one test run.
    const QStringList server = QStringLiteral("-c listen_addresses= -c fsync=off -p").split(u' ')
                               << Port << QStringLiteral("-D")
                               << m_scratch.filePath(QStringLiteral("data")) << QStringLiteral("-k")
                               << m_scratch.path();
    if (!run(QStringLiteral("postgres"), server)) {
        m_failure = "the server did not start";
        return false;
    }
    QSqlDatabase::removeDatabase(Admin);
    QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), Admin);
    admin.setHostName(m_scratch.path());
    admin.setPort(Port.toInt());
    admin.setUserName(QStringLiteral("quill"));
    admin.setPassword(QString::fromLatin1(Password));
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

void PgServer::stop(bool immediate) {
    QSqlDatabase::database(Admin, false).close();
    // A fast shutdown, or an immediate one.
    ::kill(static_cast<pid_t>(m_server.processId()), immediate ? SIGQUIT : SIGINT);
    m_server.waitForFinished(20000);
}

bool PgServer::startAgain() {
    m_failure.clear();
    return serve();
}

// The server and every process it started (one per connection).
void PgServer::signalAll(int signal) {
    const auto server = static_cast<pid_t>(m_server.processId());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (entry.toInt() > 0 && stat.open(QIODevice::ReadOnly)) {
            // pid (name) state ppid ...: the name may hold blanks, the rest not.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (after.size() > 1 && after[1].toInt() == server) {
                ::kill(static_cast<pid_t>(entry.toInt()), signal);
            }
        }
    }
    ::kill(server, signal);
}

void PgServer::freeze() {
    signalAll(SIGSTOP);
}

void PgServer::thaw() {
    signalAll(SIGCONT);
}

std::string PgServer::newDatabase() {
    const std::string name = "history" + std::to_string(++m_databases);
    QSqlQuery create(QSqlDatabase::database(Admin, false));
    if (!create.exec(QStringLiteral("CREATE DATABASE ") + QString::fromStdString(name))) {
        m_failure = create.lastError().text().toStdString();
    }
    return name;
}

std::string PgServer::url(const std::string& database, const std::string& password) const {
    return "postgresql://quill:" + password + "@/" + database +
           "?host=" + m_scratch.path().toStdString() + "&port=" + Port.toStdString();
}

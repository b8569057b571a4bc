// SPDX-License-Identifier: MIT
#pragma once
// A PostgreSQL server of the tests' own: a new cluster in a scratch folder,
// listening on a socket there (trusted) and on 127.0.0.1 at a free port
// (password required), stopped and removed when the object goes, and
// stopped by the kernel if the tests die first. The server refuses to run
// as root, so under root it runs as the user "postgres" that Debian's
// package makes.

#include <QProcess>
#include <QTemporaryDir>

#include <string>

class PgServer {
  public:
    static constexpr const char* User = "quill";
    static constexpr const char* Password = "s3cret-Pa55";

    PgServer();
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Empty when the server runs; otherwise why not, with its log.
    const std::string& failure() const { return m_failure; }
    int port() const { return m_port; }

    // A new empty database: its name.
    std::string newDatabase();
    // A URL through the socket to the database, without password.
    std::string socketUrl(const std::string& database) const;
    // A URL through 127.0.0.1 to the database, with `password`.
    std::string tcpUrl(const std::string& database, const std::string& password) const;

  private:
    bool start();
    bool runAsServerUser(const QString& program, const QStringList& arguments);

    QTemporaryDir m_scratch;
    QString m_bin; // the folder of initdb and postgres
    QProcess m_server;
    int m_port = 0;
    int m_databases = 0;
    std::string m_failure;
};

// SPDX-License-Identifier: MIT
#pragma once
// A PostgreSQL server of the tests' own: a new cluster in a scratch folder,
// listening only on a socket there (so any port number will do), stopped
// and removed when the object goes, and stopped by the kernel if the tests
// die first. The server refuses to run as root, so under root it runs as
// the user "postgres" that Debian's package makes.

#include <QProcess>
#include <QTemporaryDir>

#include <string>

class PgServer {
  public:
    static constexpr const char* Password = "s3cret-Pa55"; // of the user "quill"

    PgServer();
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Empty when the server runs; otherwise why not, with its log.
    const std::string& failure() const { return m_failure; }

    // A new empty database: its name.
    std::string newDatabase();
    // A URL of the database through the socket, with `password`.
    std::string url(const std::string& database, const std::string& password = Password) const;

    // What a line meets: a server shut down (its connections ended), started
    // again on the same data, and one frozen with all its processes (as a
    // network partition looks to its clients) and let go again.
    // `immediate`: as a crash would, its connections told so by a warning.
    void stop(bool immediate = false);
    bool startAgain();
    void freeze();
    void thaw();

  private:
    bool start();
    bool serve();
    bool run(const QString& program, const QStringList& arguments);
    void signalAll(int signal);

    QTemporaryDir m_scratch;
    QProcess m_server; // initdb, then the server
    int m_databases = 0;
    std::string m_failure;
};

// SPDX-License-Identifier: MIT
#include "history/historylocation.h"

#include "history/historytexts.h"
#include "history/ownfolders.h"

#include <QByteArray>

#include <algorithm>
#include <cstdlib>

namespace quill {

namespace {

std::string decoded(std::string_view text) {
    return QByteArray::fromPercentEncoding(QByteArray(text.data(), qsizetype(text.size())))
        .toStdString();
}

std::optional<int> portNumber(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int port = std::stoi(text);
    return port >= 1 && port <= 65535 ? std::optional<int>(port) : std::nullopt;
}

// A value handed on to the client library as it stands: a word, nothing
// that could end it or start another setting.
bool plainWord(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}

// One name=value of the query part; empty when it was taken.
std::string takeParameter(HistoryLocation& where, const std::string& name,
                          const std::string& value) {
    if (name == "host") {
        where.host = value;
    } else if (name == "user") {
        where.user = value;
    } else if (name == "password") {
        where.password = value;
    } else if (name == "dbname") {
        where.database = value;
    } else if (name == "port") {
        where.port = portNumber(value);
        return where.port ? "" : text::HistoryUrlValue + name;
    } else if (name == "sslmode") {
        where.sslmode = value;
        return plainWord(value) ? "" : text::HistoryUrlValue + name;
    } else if (name == "connect_timeout") {
        const std::optional<int> seconds = portNumber(value);
        where.connectTimeout = seconds.value_or(0);
        return seconds ? "" : text::HistoryUrlValue + name;
    } else {
        return text::HistoryUrlParameter + name;
    }
    return {};
}

// Reads user, password, host and port from the part before the path.
bool takeAuthority(HistoryLocation& where, std::string_view authority) {
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        const size_t colon = userInfo.find(':');
        where.user = decoded(userInfo.substr(0, colon));
        if (colon != std::string_view::npos) {
            where.password = decoded(userInfo.substr(colon + 1));
        }
        authority.remove_prefix(at + 1);
    }
    // An IPv6 address stands in brackets, before its port.
    const size_t close = authority.starts_with('[') ? authority.find(']') : 0;
    if (close == std::string_view::npos) {
        return false;
    }
    const size_t colon = authority.find(':', close);
    const std::string_view host = authority.substr(0, colon);
    where.host = close > 0 ? decoded(host.substr(1, close - 1)) : decoded(host);
    if (colon != std::string_view::npos) {
        where.port = portNumber(std::string(authority.substr(colon + 1)));
        return where.port.has_value();
    }
    return true;
}

} // namespace

std::string HistoryLocation::shown() const {
    return text(true);
}

std::string HistoryLocation::withoutPassword() const {
    return text(false);
}

std::string HistoryLocation::text(bool passwordShownHidden) const {
    if (kind == Kind::Sqlite) {
        return path;
    }
    const bool socket = host.starts_with('/');
    // A password is hidden where it stands in the URL, never by looking for
    // its text: a password that is also the user's name gives nothing away.
    const bool hidden = passwordShownHidden && !password.empty();
    std::string url =
        "postgresql://" + user + (hidden ? ":***" : "") + (user.empty() && !hidden ? "" : "@");
    if (!socket) {
        url += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    }
    if (port) {
        url += ':';
        url += std::to_string(*port);
    }
    url += "/" + database;
    if (socket) {
        url += "?host=" + host;
    }
    return url;
}

HistoryLocation sqliteHistory(std::string path) {
    HistoryLocation where;
    where.path = std::move(path);
    return where;
}

std::string defaultHistoryPath() {
    const std::string folder = ownDataFolder();
    return folder.empty() ? std::string{} : folder + "/history.sqlite";
}

HistoryResult<HistoryLocation> parseHistoryUrl(std::string_view url) {
    // Never the URL as given in a message: it may hold a password.
    const auto refuse = [](const HistoryLocation& where, std::string why) {
        return HistoryError{text::HistoryUrlNotUnderstood, where.shown(), std::move(why)};
    };
    HistoryLocation where;
    where.kind = HistoryLocation::Kind::Postgres;
    std::string_view rest = url;
    if (rest.starts_with("postgresql://")) {
        rest.remove_prefix(13);
    } else if (rest.starts_with("postgres://")) {
        rest.remove_prefix(11);
    } else {
        return refuse(where, text::HistoryUrlForm);
    }
    const size_t question = rest.find('?');
    const std::string_view query =
        question == std::string_view::npos ? std::string_view() : rest.substr(question + 1);
    rest = rest.substr(0, question);
    const size_t slash = rest.find('/');
    if (!takeAuthority(where, rest.substr(0, slash))) {
        return refuse(where, text::HistoryUrlForm);
    }
    if (slash != std::string_view::npos) {
        where.database = decoded(rest.substr(slash + 1));
    }
    for (size_t start = 0; start < query.size();) {
        const size_t end = std::min(query.find('&', start), query.size());
        const std::string_view pair = query.substr(start, end - start);
        const size_t equals = pair.find('=');
        const std::string why = takeParameter(
            where, decoded(pair.substr(0, equals)),
            equals == std::string_view::npos ? std::string() : decoded(pair.substr(equals + 1)));
        if (!why.empty()) {
            return refuse(where, why);
        }
        start = end + 1;
    }
    return where;
}

namespace {

bool asksForTls(const HistoryLocation& where) {
    return where.kind == HistoryLocation::Kind::Postgres &&
           (where.sslmode == "require" || where.sslmode == "verify-ca" ||
            where.sslmode == "verify-full");
}

// The history named by `url`, whatever it asks of the client library.
HistoryResult<HistoryLocation> namedHistory(std::string_view url) {
    if (url.empty()) {
        HistoryLocation own = sqliteHistory(defaultHistoryPath());
        own.named = false;
        return own;
    }
    if (isAbsoluteFilePath(url)) {
        return sqliteHistory(std::string(url));
    }
    return parseHistoryUrl(url);
}

HistoryStatus refusedTls(const HistoryResult<HistoryLocation>& where) {
    if (!where || !asksForTls(*where) || postgresHasTls()) {
        return std::nullopt;
    }
    return HistoryError{text::HistoryNotOpened, where->shown(), text::HistoryNoTls};
}

std::string namedUrl(const SettingsStore& settings, std::string_view url) {
    return !url.empty() ? std::string(url)
                        : settings.GetSetting(text::SectionHistory, text::KeyHistoryUrl);
}

} // namespace

HistoryResult<HistoryLocation> historyAt(std::string_view url) {
    HistoryResult<HistoryLocation> where = namedHistory(url);
    if (HistoryStatus refused = refusedTls(where)) {
        return *refused;
    }
    return where;
}

HistoryResult<HistoryLocation> historyLocation(const SettingsStore& settings,
                                               std::string_view url) {
    return historyAt(namedUrl(settings, url));
}

HistoryStatus tlsRefusal(const SettingsStore& settings, std::string_view url) {
    return refusedTls(namedHistory(namedUrl(settings, url)));
}

} // namespace quill

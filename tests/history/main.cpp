// SPDX-License-Identifier: MIT
// The history's tests, under one QCoreApplication (Qt SQL loads its
// drivers through it). Run as
//
//     test_history --write LOCATION COUNT TAG end|abandon|nogrow
//
// the program is one of the writers the tests start: COUNT attempts on the
// port TAG, unit after unit, each begun and ended; "abandon" begins one and
// dies without ending it; "nogrow" writes into a history whose files may
// not grow, as on a full disk. It says what failed and exits with 3.

#include "history/historystore.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>

namespace {

quill::HistoryStatus write(const std::string& location, int count, const std::string& tag,
                           const std::string& how) {
    if (how == "nogrow") {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit none{0, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &none);
    }
    auto store = quill::HistoryStore::open(location.starts_with("postgresql:")
                                               ? *quill::parseHistoryUrl(location)
                                               : quill::sqliteHistory(location));
    for (int unit = 1; store && unit <= count; ++unit) {
        quill::Attempt a;
        a.startedMs = 1000 * unit;
        a.port = tag;
        a.unit = a.recordsTotal = unit;
        const auto id = (*store)->begin(a);
        if (!id) {
            return id.error();
        }
        if (how == "abandon") {
            std::raise(SIGKILL); // as a station that loses power
        }
        a.id = *id;
        a.endedMs = a.startedMs + unit;
        a.recordsSent = unit;
        a.outcome = "complete";
        if (auto failed = (*store)->end(a)) {
            return failed;
        }
    }
    return store ? quill::HistoryStatus() : store.error();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 6 && std::strcmp(argv[1], "--write") == 0) {
        const auto failed = write(argv[2], std::atoi(argv[3]), argv[4], argv[5]);
        std::fprintf(stderr, "%s", failed ? (failed->text() + "\n").c_str() : "");
        return failed ? 3 : 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// SPDX-License-Identifier: MIT
// quill-cli's recipe and work-order commands as a process: a file Quill
// would refuse to send is refused at publish with the download's message
// and exit code; what is published is listed, shown and ordered.

#include "harness.h"
#include "recipe/recipetexts.h"
#include "testtext.h"

#include <algorithm>

namespace quill::e2e {
namespace {

TEST(RecipeCli, PublishRefusesWhatADownloadRefusesAlike) {
    Scratch s;
    struct Case {
        const char* name;
        std::string bytes; // none: no file
        int code;
    };
    const Case cases[] = {
        {"bad checksum", ":04000000DEADBEEFC5\r\n:00000001FF\r\n", 4},
        {"no end record", ":04000000DEADBEEFC4\r\n", 4},
        {"records after end", ":00000001FF\r\n:04000000DEADBEEFC4\r\n", 4},
        {"no records", "hello\r\n", 4},
        {"missing", "", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string name = c.name;
        std::replace(name.begin(), name.end(), ' ', '-');
        const std::string file = s.path(name + ".hex");
        if (!c.bytes.empty()) {
            writeFile(file, c.bytes);
        }
        const Result download = runCli(s, "-p /dev/null -b 38400 -d tracker -y " + file);
        const Result publish = runCli(s, "--recipe-publish r -b 38400 -d tracker " + file);
        EXPECT_EQ(download.code, c.code) << download.err;
        EXPECT_EQ(publish.code, download.code) << publish.err;
        EXPECT_NE(publish.err, "");
        EXPECT_TRUE(contains(download.err, publish.err)) << download.err << publish.err;
        EXPECT_EQ(publish.out, "");
    }
    EXPECT_EQ(runCli(s, "--recipes").out, "The history holds no recipes.\n");
}

TEST(RecipeCli, PublishListShowOrder) {
    Scratch s;
    const std::string file = s.path("fw.hex");
    writeFile(file, ":04000000DEADBEEFC4\r\n:00000001FF\r\n");
    struct Case {
        std::string args;
        int code;
        const char* said; // on standard output, or standard error when it fails
    };
    const Case cases[] = {
        {"--recipe-publish shelf -b 38400 -d tracker --note rev-C " + file, 0, "shelf@1 82bacd39"},
        {"--recipe-publish shelf -b 9600 -d manual " + file, 0, "shelf@2 82bacd39"},
        {"--recipe-publish shelf -b 9600 " + file, 2, "needs --device"},
        {"--recipe-publish a@b -b 9600 -d manual " + file, 2, text::NameHasAt},
        {"--recipe-publish shelf -b 9600 -d manual --serial-at 0x10 --serial-list " + file + " " +
             file,
         2, "--serial-list"},
        {"--recipes --csv", 0, "shelf,1,released,82bacd39"},
        {"--recipe-retire shelf@2", 0, ""},
        {"--recipe-retire shelf@7", 2, "no recipe shelf@7"},
        {"--recipe-show shelf --json", 0, "\"version\":1,\"state\":\"released\""},
        {"--work-order-open WO-1 --recipe shelf@2 --quantity 5", 2, text::RecipeNotReleased},
        {"--work-order-open WO-1 --recipe shelf@1 --quantity 0", 2, "--quantity"},
        {"--work-order-open WO-1 --recipe shelf@1 --quantity 5", 0, ""},
        {"--work-order-open WO-1 --recipe shelf@1 --quantity 5", 11, text::OrderExists},
        {"--work-order-close WO-1", 0, ""},
        {"--work-orders --json", 0, "\"remaining\":5,\"state\":\"closed\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = runCli(s, c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_TRUE(contains(c.code == 0 ? r.out : r.err, c.said)) << r.out << r.err;
    }
}

} // namespace
} // namespace quill::e2e

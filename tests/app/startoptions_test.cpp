// SPDX-License-Identifier: MIT
// quill's own answers on the terminal, and the window's command line left
// alone: "/p N" and everything else must still reach the window.

#include "app/startoptions.h"

#include "quillversion.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace quill {
namespace {

enum class Reply { Window, Help, Version };

struct Case {
    const char* name;
    std::vector<std::string_view> args;
    Reply expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class StartReply : public ::testing::TestWithParam<Case> {};

TEST_P(StartReply, AnswersOnlyAnExactHelpOrVersion) {
    const Case& c = GetParam();
    const std::optional<std::string> reply = startReply(c.args);
    switch (c.expected) {
    case Reply::Window:
        EXPECT_FALSE(reply.has_value()) << *reply;
        break;
    case Reply::Help:
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->rfind("Usage: quill [/p N]\n", 0), 0u) << *reply;
        break;
    case Reply::Version:
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(*reply, std::string("quill ") + QuillVersion + "\n");
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, StartReply,
    ::testing::Values(
        Case{"Nothing", {}, Reply::Window}, Case{"Port", {"/p2"}, Reply::Window},
        Case{"PortApart", {"/P", "2"}, Reply::Window},
        Case{"TwoPorts", {"/p1", "/p2"}, Reply::Window}, Case{"MinusP", {"-p1"}, Reply::Window},
        Case{"LongerWord", {"--helpme"}, Reply::Window}, Case{"OneDash", {"-help"}, Reply::Window},
        Case{"GluedToPort", {"/p--help"}, Reply::Window},
        Case{"Plural", {"--versions"}, Reply::Window}, Case{"Help", {"--help"}, Reply::Help},
        Case{"HelpAfterPort", {"/p2", "--help"}, Reply::Help},
        Case{"Version", {"--version"}, Reply::Version},
        // The first of the two wins, as with GNU programs.
        Case{"VersionFirst", {"--version", "--help"}, Reply::Version},
        Case{"HelpFirst", {"--help", "--version"}, Reply::Help}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(StartReplyText, HelpNamesEveryOptionAndEndsWithANewline) {
    const std::string help = *startReply(std::vector<std::string_view>{"--help"});
    for (const char* option : {"/p N", "--help", "--version"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(help.back(), '\n');
}

} // namespace
} // namespace quill

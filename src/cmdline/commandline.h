// SPDX-License-Identifier: MIT
#pragma once
// The command line of Quill's programs (quill-cli, quill-devsim), read with
// CLI11 the same way in both: arguments are bytes and stay bytes (a file
// name that is not UTF-8 reaches the program unchanged); every value is
// taken as text and checked by the program, so that one run reports every
// problem at once; "-h"/"--help" and "--version" are always there; and the
// help text has a usage line, the option list, and whatever sections the
// program adds (exit status, examples), in the layout help2man reads.
// No Qt here.

#include <CLI/App.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::cmdline {

// What the help shows around the option list.
struct HelpText {
    std::string usage;       // "Usage: prog [OPTION]... FILE", more lines allowed
    std::string description; // paragraphs after the usage line
    std::string footer;      // sections after the options ("Exit status:", "Examples:")
};

class CommandLine {
  public:
    CommandLine(std::string program, HelpText help);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // A flag such as "-y,--yes". An empty description keeps it out of the help.
    CLI::Option* flag(const std::string& names, const std::string& description);
    // An option with one value ("--port X" or "--port=X"), possibly given
    // more than once; valueName names the value in the help.
    CLI::Option* option(const std::string& names, const std::string& valueName,
                        const std::string& description);
    // The arguments that are not options (and every argument after "--").
    CLI::Option* positionals(const std::string& name, const std::string& description);

    // Reads the arguments (without the program's name). Unknown options and
    // options given without their value become problems; the caller checks
    // the values and adds its own.
    void parse(const std::vector<std::string_view>& args);

    bool given(const CLI::Option* option) const;
    // Every value given for the option, in order.
    std::vector<std::string> values(const CLI::Option* option) const;
    // The last value given, if the option was given.
    std::optional<std::string> last(const CLI::Option* option) const;

    bool helpWanted() const { return given(m_help); }
    bool versionWanted() const { return given(m_version); }

    void problem(std::string text) { m_problems.push_back(std::move(text)); }
    const std::vector<std::string>& problems() const { return m_problems; }

    // The help text, ready to print.
    std::string help() const;
    // Every problem on a line of its own, then where to find help.
    std::string problemsText() const;

  private:
    std::string m_program;
    CLI::App m_app;
    CLI::Option* m_help = nullptr;
    CLI::Option* m_version = nullptr;
    std::vector<std::string> m_problems;
    std::vector<std::string> m_positionals; // one positional option per command line
};

// A whole decimal number from min to max, the whole text and nothing else.
std::optional<long long> wholeNumber(std::string_view text, long long min, long long max);

// "MANUAL" and "manual" alike.
bool sameWord(std::string_view a, std::string_view b);

} // namespace quill::cmdline

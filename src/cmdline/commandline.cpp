// SPDX-License-Identifier: MIT
#include "cmdline/commandline.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <memory>
#include <sstream>

namespace quill::cmdline {

namespace {

// Options as "-p, --port COMn" with the long-only ones lined up under the
// long names, the layout of GNU tools that help2man expects.
class Formatter final : public CLI::Formatter {
  public:
    explicit Formatter(HelpText text) : m_text(std::move(text)) { column_width(30); }

    // Usage, description, options, then the program's own sections.
    std::string make_help(const CLI::App* app, std::string,
                          CLI::AppFormatMode mode) const override {
        std::string help = m_text.usage + "\n";
        if (!m_text.description.empty()) {
            help += "\n" + m_text.description + "\n";
        }
        help += make_groups(app, mode); // starts with a blank line
        if (!m_text.footer.empty()) {
            help += "\n" + m_text.footer;
        }
        return help;
    }
    // Wrapped to fit 80 columns beside the names.
    std::string make_option_desc(const CLI::Option* opt) const override {
        const size_t width = 79 - get_column_width();
        std::string wrapped;
        size_t lineStart = 0;
        std::istringstream words(opt->get_description());
        for (std::string word; words >> word;) {
            if (wrapped.size() > lineStart &&
                wrapped.size() - lineStart + 1 + word.size() > width) {
                wrapped += '\n';
                lineStart = wrapped.size();
            } else if (wrapped.size() > lineStart) {
                wrapped += ' ';
            }
            wrapped += word;
        }
        return wrapped;
    }
    std::string make_option_name(const CLI::Option* opt, bool positional) const override {
        if (positional) {
            return opt->get_name(true, false);
        }
        std::string name;
        for (const std::string& s : opt->get_snames()) {
            name += (name.empty() ? "-" : ", -") + s;
        }
        name = name.empty() ? "    " : name + ", ";
        for (const std::string& l : opt->get_lnames()) {
            name += (name.ends_with(' ') ? "--" : ", --") + l;
        }
        return name;
    }
    std::string make_option_opts(const CLI::Option* opt) const override {
        return opt->get_option_text().empty() ? std::string{} : " " + opt->get_option_text();
    }

  private:
    HelpText m_text;
};

// "--port" rather than "-p,--port".
std::string longName(const CLI::Option* opt) {
    return opt->get_lnames().empty() ? opt->get_name() : "--" + opt->get_lnames().front();
}

} // namespace

CommandLine::CommandLine(std::string program, HelpText help)
    : m_program(std::move(program)), m_app("", m_program) {
    m_app.formatter(std::make_shared<Formatter>(std::move(help)));
    m_app.set_help_flag();
    m_app.allow_extras();
    m_help = flag("-h,--help", "show this help and exit");
    m_version = flag("--version", "show the version and exit");
}

CLI::Option* CommandLine::flag(const std::string& names, const std::string& description) {
    CLI::Option* opt = m_app.add_flag(names, description);
    opt->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    if (description.empty()) {
        opt->group("");
    }
    return opt;
}

CLI::Option* CommandLine::option(const std::string& names, const std::string& valueName,
                                 const std::string& description) {
    // Zero or one value per occurrence: a missing value is noticed below
    // instead of ending the parse.
    CLI::Option* opt = m_app.add_option(names, description)
                           ->expected(0, 1)
                           ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                           ->option_text(valueName);
    if (description.empty()) {
        opt->group("");
    }
    return opt;
}

CLI::Option* CommandLine::positionals(const std::string& name, const std::string& description) {
    CLI::Option* opt = m_app.add_option(name, m_positionals, description);
    if (description.empty()) {
        opt->group("");
    }
    return opt;
}

void CommandLine::parse(const std::vector<std::string_view>& args) {
    // CLI11 takes a vector in reverse order and consumes it.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        m_app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        problem(e.what());
        return;
    }
    for (const std::string& extra : m_app.remaining()) {
        if (extra == "--") {
            continue;
        }
        if (extra.starts_with('-')) {
            problem("unknown option " + extra.substr(0, extra.find('=')));
        } else {
            problem("unexpected argument " + extra);
        }
    }
    for (const CLI::Option* opt : m_app.get_options()) {
        // An occurrence without its value leaves an empty text, as does "--port=".
        const auto& results = opt->results();
        if (!opt->get_positional() && opt->get_expected_max() > 0 &&
            std::find(results.begin(), results.end(), std::string{}) != results.end()) {
            problem(longName(opt) + " needs a value");
        }
    }
}

bool CommandLine::given(const CLI::Option* option) const {
    return option->count() > 0;
}

std::vector<std::string> CommandLine::values(const CLI::Option* option) const {
    return option->results();
}

std::optional<std::string> CommandLine::last(const CLI::Option* option) const {
    if (option->results().empty()) {
        return std::nullopt;
    }
    return option->results().back();
}

std::string CommandLine::help() const {
    return m_app.help();
}

std::string CommandLine::problemsText() const {
    std::string text;
    for (const std::string& p : m_problems) {
        text += m_program + ": " + p + "\n";
    }
    return text + "Try '" + m_program + " --help'.\n";
}

std::optional<long long> wholeNumber(std::string_view text, long long min, long long max) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || stop != end || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

bool sameWord(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace quill::cmdline

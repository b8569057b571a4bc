// SPDX-License-Identifier: MIT
// quill-devsim: plays an Ostrel device in real time, for trying the
// downloader without hardware: on pseudo-terminals (terminals_unix.cpp),
// or served over the network with --listen (netserver.cpp), which works
// wherever Qt does. The first line on stdout is what to open.

#include "devsim/netserver.h"
#include "devsim/options.h"
#include "devsim/terminals.h"
#include "quillversion.h"

#include <QCoreApplication>

#include <cstdio>

using namespace quill::devsim;

namespace {

int serveOnNetwork(int argc, char** argv, const Options& options) {
    QCoreApplication app(argc, argv);
    NetServer server(options.devices.front(), options.exitAfterDownload);
    if (!server.logOpen()) {
        std::fprintf(stderr, "quill-devsim: cannot write %s\n",
                     options.devices.front().logPath.c_str());
        return 1;
    }
    if (const std::string error = server.listen(options.listenHost, options.listenPort);
        !error.empty()) {
        std::fprintf(stderr, "quill-devsim: %s\n", error.c_str());
        return 1;
    }
    quitOnStopSignals();
    std::printf("%s\n", server.url().c_str());
    std::fflush(stdout);
    const int code = QCoreApplication::exec();
    server.finish();
    return code;
}

} // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = parseOptions({argv + 1, argv + argc});
    if (!parsed.options) {
        std::fputs(parsed.error.c_str(), stderr);
        return 2;
    }
    const Options& options = *parsed.options;
    if (options.help) {
        std::fputs(parsed.help.c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", quill::QuillVersion);
        return 0;
    }
    return options.listen ? serveOnNetwork(argc, argv, options) : playOnTerminals(options);
}

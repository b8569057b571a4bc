// SPDX-License-Identifier: MIT
#pragma once
// A real ser2net serving one serial device over the network, for the tests,
// configured on its command line alone (no lock files, no system
// configuration), with the options the program needs of it (the old user
// kicked, no character delay, no Nagle delay).

#include "localserver.h"

namespace quill::test {

class Ser2net : public LocalServer {
  public:
    explicit Ser2net(const std::string& device) {
        // YAML, # for a new line.
        start(QStringLiteral("/usr/sbin/ser2net"),
              qStrings({"-d", "-u", "-Y",
                        "connection: &quill#  accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1," +
                            std::to_string(port()) + "#  connector: serialdev," + device +
                            ",9600n81,local#  options:#    kickolduser: true#"
                            "    chardelay: false"}));
    }
    std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(port()); }
};

} // namespace quill::test

// SPDX-License-Identifier: MIT
#include "cli/clihelp.h"

#include "cli/clitexts.h"
#include "history/ownfolders.h"
#include "shared/exitcodes.h"

#include <string>

namespace quill::cli {

namespace {

std::string exitStatusSection() {
    std::string text = "Exit status:\n";
    for (const ExitCodeInfo& info : exitCodeTable) {
        const std::string code = std::to_string(toInt(info.code));
        text += "  " + std::string(4 - code.size(), ' ') + code + "  " + info.meaning + "\n";
    }
    return text;
}

} // namespace

cmdline::HelpText helpText() {
    return {
        "Usage: quill-cli [OPTION]... FILE\n"
        "  or:  quill-cli -p PORT -p PORT [-p PORT]... [OPTION]... FILE\n"
        "  or:  quill-cli --repeat [--batch NAME] [--max-units N] [OPTION]... FILE\n"
        "  or:  quill-cli --recipe NAME[@VERSION] | --work-order NAME [-p PORT]... [OPTION]...\n"
        "  or:  quill-cli --history [--since DATE] [--port PORT] [--outcome NAME]\n"
        "                 [--sha256 PREFIX] [--batch NAME] [--recipe NAME[@VERSION]]\n"
        "                 [--work-order NAME] [--csv | --json] [--yield [--by day|batch|order]]\n"
        "  or:  quill-cli --recipe-publish NAME -b RATE -d KIND [--note TEXT] [OPTION]... FILE\n"
        "  or:  quill-cli --recipes | --work-orders [--csv | --json]\n"
        "  or:  quill-cli --recipe-show NAME[@VERSION] | --recipe-retire NAME@VERSION\n"
        "  or:  quill-cli --recipe-export NAME@VERSION FILE | --recipe-import FILE\n"
        "  or:  quill-cli --work-order-open NAME --recipe NAME@VERSION --quantity N\n"
        "  or:  quill-cli --work-order-close NAME\n"
        "  or:  quill-cli --list-ports\n"
        "  or:  quill-cli --check-port PORT",
        "Downloads the Intel HEX file FILE into the flash of an Ostrel device, as the\n"
        "window program's \"Start Download\" does, without a display. Port, baud rate\n"
        "and device default to the settings the window program stored.\n"
        "\n"
        "The port is configured as the COM Setup dialog's OK does (8 data bits, 1 stop\n"
        "bit, mark parity for Manual, even for Tracker) and opened; nothing is written\n"
        "to the settings. Messages go to standard error in the program's own words.\n"
        "Ctrl+C (SIGINT) or SIGTERM stops a download: the port is closed with its\n"
        "settings restored. Progress shows records and firmware data bytes sent of\n"
        "their totals, the elapsed time, the rate in data bytes per second and the\n"
        "time left; a summary line follows the last message.\n"
        "\n"
        "Given several ports, quill-cli downloads FILE to all of them at once, each\n"
        "device on its own: one that fails ends alone while the others go on. The file\n"
        "is checked once before any port is touched, the Manual prompt is asked once\n"
        "for all, and a table at the end says how each device ended.\n"
        "\n"
        "Every download is recorded in the history, one row per device, as it starts\n"
        "and as it ends: station, operator, port and adapter, the file with its size\n"
        "and SHA-256, the counts, how it ended. The history is\n" +
            ownDataFolderShown("history.sqlite", true) +
            "\n"
            "unless --history-url or [History] URL in the settings names another: a\n"
            "shared PostgreSQL database, postgresql://user@host[:port]/database. A\n"
            "history that cannot be written is said once and the download goes on.\n"
            "\n"
            "With --events, line-control software can follow the run as it goes: one JSON\n"
            "object per line for the run's start, each device's start, phase, progress,\n"
            "messages and end, and the run's end, as the schema installed as\n"
            "share/quill/quill-events.schema.json describes them.\n"
            "\n"
            "Recipes and work orders live in the history too. A recipe is a hex file\n"
            "published under a name with the settings it runs with (device, baud rate,\n"
            "what is accepted of the file, idle limit, settle time, serial number), as\n"
            "version 1, 2, ... of that name, each never changed once published: only\n"
            "retired. A work order is a quantity of units of one recipe version, shared\n"
            "by every station of the history: no more units than that are flashed.",
        exitStatusSection() +
            "\nExamples:\n"
            "  quill-cli --list-ports\n"
            "  quill-cli --check-port /dev/ttyUSB0\n"
            "  quill-cli -p COM2 -b 38400 -d manual -y firmware.hex\n"
            "  quill-cli -p /dev/ttyUSB0 -p /dev/ttyUSB1 -p /dev/ttyUSB2 -y firmware.hex\n"
            "  quill-cli -p rfc2217://rack7.lab:4001 -b 38400 -y firmware.hex\n"
            "  quill-cli --port /dev/ttyUSB0 --device tracker --idle-timeout 30 firmware.hex\n"
            "  quill-cli -q --json --log flash.log -p COM1 -y firmware.hex\n"
            "  quill-cli -p /dev/ttyUSB0 --repeat --batch 2026-W49 --max-units 40 firmware.hex\n"
            "  quill-cli --history --since 2026-12-01 --outcome complete --csv\n"
            "  quill-cli --history --yield --by batch --since 2026-12-01\n"
            "  quill-cli --recipe-publish shelf-ctl -b 38400 -d tracker --note 'rev C' fw.hex\n"
            "  quill-cli --work-order-open WO-4711 --recipe shelf-ctl@3 --quantity 500\n"
            "  quill-cli --events - -p /dev/ttyUSB0 -y firmware.hex | jq .\n"
            "  quill-cli --events mqtt://broker.line/line7/station3 --events-user station3 \\\n"
            "            -p /dev/ttyUSB0 --repeat firmware.hex\n",
    };
}

} // namespace quill::cli

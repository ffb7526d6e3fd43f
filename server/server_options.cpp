#include "server/server_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>

namespace kx::server {

namespace {

const char* const Help =
    "Usage: kx3105-server [options]\n"
    "Serves a KX3105 evaluation board as an SCPI instrument on TCP (raw socket, newline-\n"
    "terminated lines), for VISA clients such as PyVISA (TCPIP::HOST::PORT::SOCKET). The first\n"
    "line on standard output is the TCP port it listens on; notes go to standard error.\n"
    "\n"
    "Network options:\n"
    "  --port N               TCP port (default 5025; 0 takes a free one)\n"
    "  --listen ADDRESS       listen on this address (default 127.0.0.1: this machine only);\n"
    "                         0.0.0.0 or :: for every interface\n"
    "  --allow HOST|NET       a host or network that may connect, as 192.168.1.20 or\n"
    "                         192.168.1.0/24 (repeatable; default: this machine only)\n"
    "  --max-clients N        connections served at once (default 128); one more is refused\n"
    "                         with a line that says so\n"
    "  --idle-timeout SECONDS close a connection that sends no line for so long (default 300)\n"
    "  --lock-timeout SECONDS how long a command waits while another client holds the lock\n"
    "                         (SYSTem:LOCK:REQuest?) before it fails (default 10)\n"
    "\n"
    "Board options, as kx3105-cli takes them:\n"
    "  --port DEVICE          use this printer port (default /dev/parport0)\n"
    "  --simulate             use the simulated KX3105 board\n"
    "  --trace FILE           write every port access to FILE\n"
    "  --sim-seed N           noise seed of the simulated board\n"
    "  --sim-fault NAME[@N]   ready-stuck, ignore-writes or no-board (repeatable)\n"
    "  --sim-speed SPEED      fast (the default here) or realtime\n"
    "  --sim-input CH=VOLTS[,NOISE_UV]   input of channel code CH (0-15), repeatable\n"
    "  --sim-tone CH=HZ,UV    a sine added to input CH (repeatable)\n"
    "  --no-board-check       skip the check that a board answers at start\n"
    "\n"
    "Without a printer port it fails unless given --simulate or a --sim- option: it never\n"
    "passes the simulated board off as a real one. SIGTERM or SIGINT ends reads in progress,\n"
    "answers the lines already received, closes every connection and exits 0.\n"
    "Exit status: 0 after SIGTERM or SIGINT, 1 when the board or the network fails, 2 on a\n"
    "usage error.\n";

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() <= 5 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::chrono::milliseconds Seconds(double s) {
    return std::chrono::milliseconds(static_cast<int64_t>(std::llround(s * 1000)));
}

}  // namespace

ParsedServerOptions ParseServerOptions(const std::vector<std::string>& args) {
    ParsedServerOptions parsed;
    ServerOptions& o = parsed.options;

    CLI::App app("kx3105-server", ServerName);
    app.set_help_flag();
    bool help = false, version = false, simulate = false;
    std::vector<std::string> ports, allows, simFaults, simInputs, simTones;
    std::optional<std::string> trace, simSeed, simSpeed, listen;
    std::optional<double> idle, lockWait;
    std::optional<size_t> maxClients;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.add_option("--port", ports)->allow_extra_args(false);
    app.add_option("--listen", listen);
    app.add_option("--allow", allows)->allow_extra_args(false);
    app.add_option("--max-clients", maxClients);
    app.add_option("--idle-timeout", idle);
    app.add_option("--lock-timeout", lockWait);
    app.add_flag("--simulate", simulate);
    app.add_option("--trace", trace);
    app.add_option("--sim-seed", simSeed);
    app.add_option("--sim-fault", simFaults)->allow_extra_args(false);
    app.add_option("--sim-speed", simSpeed);
    app.add_option("--sim-input", simInputs)->allow_extra_args(false);
    app.add_option("--sim-tone", simTones)->allow_extra_args(false);
    app.add_flag("--no-board-check", o.noBoardCheck);

    auto usage = [&](const std::string& why) {
        parsed.outcome = ParsedServerOptions::Outcome::Usage;
        parsed.text = why;
        return parsed;
    };
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        return usage(e.what());
    }
    if (help) {
        parsed.outcome = ParsedServerOptions::Outcome::Help;
        parsed.text = Help;
        return parsed;
    }
    if (version) {
        parsed.outcome = ParsedServerOptions::Outcome::Version;
        parsed.text = std::string(ProgramVersion) + "\n";
        return parsed;
    }

    // The board options again as the program's parser reads them, so every face checks them
    // alike.
    std::vector<std::string> board;
    bool tcpPortGiven = false;
    for (const std::string& p : ports) {
        if (AllDigits(p)) {
            const unsigned long n = std::stoul(p);
            if (n > 65535) return usage("--port takes a TCP port from 0 to 65535, not '" + p + "'");
            if (tcpPortGiven) return usage("--port: one TCP port only");
            o.network.port = static_cast<uint16_t>(n);
            tcpPortGiven = true;
        } else {
            board.push_back("--port=" + p);
        }
    }
    if (simulate) board.push_back("--simulate");
    if (trace) board.push_back("--trace=" + *trace);
    if (simSeed) board.push_back("--sim-seed=" + *simSeed);
    for (const auto& f : simFaults)
        board.push_back("--sim-fault=" + f);
    if (simSpeed) board.push_back("--sim-speed=" + *simSpeed);
    for (const auto& i : simInputs)
        board.push_back("--sim-input=" + i);
    for (const auto& t : simTones)
        board.push_back("--sim-tone=" + t);
    const ParsedCommandLine boardParsed = ParseCommandLine(board, sim::Speed::Fast);
    if (!boardParsed.ok) return usage(boardParsed.error);
    o.board = boardParsed.options;

    if (listen) o.network.listen = *listen;
    if (!allows.empty()) {
        o.network.allow = AllowList();
        for (const auto& a : allows) {
            std::string why;
            if (!o.network.allow.Add(a, why)) return usage(why);
        }
    }
    if (maxClients) {
        if (*maxClients < 1 || *maxClients > 100000)
            return usage("--max-clients takes a number from 1 to 100000");
        o.network.maxClients = *maxClients;
    }
    if (idle) {
        if (!(*idle > 0 && *idle <= 1e6))
            return usage("--idle-timeout takes a positive number of seconds");
        o.network.idleTimeout = Seconds(*idle);
    }
    if (lockWait) {
        if (!(*lockWait >= 0 && *lockWait <= 1e6))
            return usage("--lock-timeout takes a number of seconds, 0 or more");
        o.lockTimeout = Seconds(*lockWait);
    }
    return parsed;
}

}  // namespace kx::server

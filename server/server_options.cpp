#include "server/server_options.h"

#include <algorithm>
#include <cmath>

#include "core/version.h"
#include "server/server_command_line.h"

namespace kx::server {

namespace {

std::string Help() {
    return "Usage: kx3105-server [options]\n"
           "Serves a KX3105 evaluation board as an SCPI instrument on TCP (raw socket, newline-\n"
           "terminated lines), for VISA clients such as PyVISA (TCPIP::HOST::PORT::SOCKET). The\n"
           "first line on standard output is the TCP port it listens on; notes go to standard\n"
           "error.\n"
           "\n"
           "Network options:\n"
           "  --port N               TCP port (default 5025; 0 takes a free one); a --port value\n"
           "                         that is not a number is the printer port (below)\n"
           "  --listen ADDRESS       listen on this address (default 127.0.0.1: this machine\n"
           "                         only); 0.0.0.0 or :: for every interface\n"
           "  --allow HOST|NET       a host or network that may connect, as 192.168.1.20 or\n"
           "                         192.168.1.0/24 (repeatable; default: this machine only)\n"
           "  --max-clients N        connections served at once (default 128); one more is\n"
           "                         refused with a line that says so\n"
           "  --idle-timeout SECONDS close a connection that sends no line for so long\n"
           "                         (default 300)\n"
           "  --lock-timeout SECONDS how long a command waits while another client holds the\n"
           "                         lock (SYSTem:LOCK:REQuest?) before it fails (default 10)\n"
           "\n"
           "Board options, as kx3105-cli takes them:\n" +
           BoardOptionsHelp(Program::Tool, sim::Speed::Fast) +
           "\n"
           "Without a printer port it fails unless given --simulate or a --sim- option: it never\n"
           "passes the simulated board off as a real one. SIGTERM or SIGINT ends reads in\n"
           "progress, answers the lines already received, closes every connection and exits 0.\n"
           "Exit status: 0 after SIGTERM or SIGINT, 1 when the board or the network fails, 2 on\n"
           "a usage error.\n";
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() <= 5 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::chrono::milliseconds Seconds(double s) {
    return std::chrono::milliseconds(static_cast<int64_t>(std::llround(s * 1000)));
}

}  // namespace

ServerCommandLine::ServerCommandLine() : app("kx3105-server", ServerName) {
    app.set_help_flag();
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    // --port is both the TCP port and the board's printer port: read here, told apart below.
    app.add_option("--port", ports)->allow_extra_args(false);
    app.add_option("--listen", listen);
    app.add_option("--allow", allows)->allow_extra_args(false);
    app.add_option("--max-clients", maxClients);
    app.add_option("--idle-timeout", idle);
    app.add_option("--lock-timeout", lockWait);
    // The board options of kx3105-cli, from the one table.
    const auto table = BoardOptionTable();
    flags.resize(table.size());
    values.resize(table.size());
    lists.resize(table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        const BoardOptionText& option = table[i];
        if (option.program == Program::Desktop || std::string_view(option.name) == "--port")
            continue;
        if (!option.value)
            app.add_flag(option.name, flags[i]);
        else if (option.repeatable)
            app.add_option(option.name, lists[i])->allow_extra_args(false);
        else
            app.add_option(option.name, values[i]);
    }
}

ParsedServerOptions ParseServerOptions(const std::vector<std::string>& args) {
    ParsedServerOptions parsed;
    ServerOptions& o = parsed.options;

    ServerCommandLine line;
    CLI::App& app = line.app;
    const auto table = BoardOptionTable();

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
    if (line.help) {
        parsed.outcome = ParsedServerOptions::Outcome::Help;
        parsed.text = Help();
        return parsed;
    }
    if (line.version) {
        parsed.outcome = ParsedServerOptions::Outcome::Version;
        parsed.text = std::string(VersionString) + "\n";
        return parsed;
    }

    // The board options in the table's order, checked as kx3105-cli checks them.
    BoardOptions& board = o.board;
    board.sim.speed = sim::Speed::Fast;
    bool tcpPortGiven = false;
    for (const std::string& p : line.ports) {
        if (AllDigits(p)) {
            const unsigned long n = std::stoul(p);
            if (n > 65535) return usage("--port takes a TCP port from 0 to 65535, not '" + p + "'");
            if (tcpPortGiven) return usage("--port: one TCP port only");
            o.network.port = static_cast<uint16_t>(n);
            tcpPortGiven = true;
        } else if (auto why = ApplyBoardOption(board, "--port", p)) {
            return usage(*why);
        }
    }
    for (size_t i = 0; i < table.size(); ++i) {
        std::vector<std::string> given = line.lists[i];
        if (line.values[i]) given.push_back(*line.values[i]);
        if (line.flags[i]) given.push_back({});
        for (const std::string& value : given)
            if (auto why = ApplyBoardOption(board, table[i].name, value)) return usage(*why);
    }
    if (auto why = CheckBoardOptions(board)) return usage(*why);

    if (line.listen) o.network.listen = *line.listen;
    if (!line.allows.empty()) {
        o.network.allow = AllowList();
        for (const auto& a : line.allows) {
            std::string why;
            if (!o.network.allow.Add(a, why)) return usage(why);
        }
    }
    if (line.maxClients) {
        if (*line.maxClients < 1 || *line.maxClients > 100000)
            return usage("--max-clients takes a number from 1 to 100000");
        o.network.maxClients = *line.maxClients;
    }
    if (line.idle) {
        if (!(*line.idle > 0 && *line.idle <= 1e6))
            return usage("--idle-timeout takes a positive number of seconds");
        o.network.idleTimeout = Seconds(*line.idle);
    }
    if (line.lockWait) {
        if (!(*line.lockWait >= 0 && *line.lockWait <= 1e6))
            return usage("--lock-timeout takes a number of seconds, 0 or more");
        o.lockTimeout = Seconds(*line.lockWait);
    }
    return parsed;
}

}  // namespace kx::server

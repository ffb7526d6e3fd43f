#include "cli/board_session.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "multichannel/multi_state.h"
#include "regmap/configuration.h"

// `config`: the Register Map window's configurations from a shell. A file is checked whole before
// the board is opened, so nothing is written from a refused one.

namespace kx::cli {

namespace {

struct ConfigOptions {
    std::string action;
    std::string file;
    bool dryRun = false;
};

int Save(BoardLink& link, const std::string& file) {
    // The tool keeps no multi-channel screen: a file it saves holds that screen's settings as a
    // fresh program shows them.
    const multi::MultiChannelState fresh;
    const std::string why = config::SaveFile(file, config::FromBoard(link, fresh));
    return why.empty() ? ExitOk : Failure(why);
}

int Load(BoardLink& link, const config::Configuration& c, bool dryRun) {
    if (dryRun) {
        std::string text;
        for (const fields::PlannedWrite& w : config::PlanFor(c, fields::ReadAll(link)))
            if (w.from != w.expected) text += fields::Describe(w) + "\n";
        if (text.empty()) Remark("every register is as the file has it: nothing to write");
        return WriteStdout(text);
    }
    return config::Apply(link, c, nullptr) ? ExitOk : ExitFailure;
}

}  // namespace

void RegisterConfig(Tool& tool) {
    static ConfigOptions o;
    CLI::App* c = tool.Add(
        {"config", "config save|load FILE [--dry-run]",
         "save the registers to a configuration file, or load one",
         "save: reads every register the map shows and writes them, with the multi-channel\n"
         "screen's settings (as a fresh program shows them: the tool keeps no screen), to FILE\n"
         "as JSON (format kx3105-configuration, version 1; - is standard output).\n"
         "load: checks FILE whole (every register, in hexadecimal and within its width; the\n"
         "filter word not below the smallest of the file's chop state; no mode that starts a\n"
         "calibration; the twelve multi-channel rows in the screen's order), refusing it with\n"
         "the field named before the board is opened, then writes the registers that differ\n"
         "from the board, each read back as its register screen does: power-down first when\n"
         "the filter or a calibration register is written, the mode register last.\n"
         "\n"
         "  --dry-run   load: print the writes it would make, one a line, and write nothing\n"},
        [&tool] {
            if (o.action != "save" && o.action != "load")
                throw UsageError{"config takes save or load, not '" + o.action + "'"};
            if (o.dryRun && o.action == "save") throw UsageError{"--dry-run belongs to load"};
            if (o.action == "save")
                return WithBoard(tool.global(),
                                 [](Board& board) { return Save(board.link(), o.file); });
            std::string why;
            const auto loaded = config::LoadFile(o.file, why);
            if (!loaded) return Failure(why);
            return WithBoard(tool.global(),
                             [&](Board& board) { return Load(board.link(), *loaded, o.dryRun); });
        });
    c->add_option("ACTION", o.action)->required();
    c->add_option("FILE", o.file)->required();
    c->add_flag("--dry-run", o.dryRun);
}

}  // namespace kx::cli

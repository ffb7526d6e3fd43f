// Writes what the package ships beside kx3105-cli, made from its own command line at build time:
//   kx3105-cli-shell-files DIR  ->  DIR/kx3105-cli (bash completion), DIR/kx3105-cli.h2m (the
//   manual page's COMMANDS section, for help2man --include)
#include <algorithm>
#include <fstream>
#include <iostream>

#include "acquisition/named_registers.h"
#include "acquisition/settings.h"
#include "cli/settings.h"
#include "cli/shell_files.h"
#include "cli/tool.h"

using namespace kx::cli;

namespace {

// The converter's settings and registers by name, as the acquisition layer spells them: the one
// place to follow when they move.
Completion SettingWords(const std::string& name) {
    Completion c;
    c.kind = Completion::Kind::Words;
    if (name == "--range" || name == "--ranges") {
        for (int code = 0; code < kx::RangeCount; ++code)
            c.words.push_back(kx::RangeName(code));
    } else if (name == "--channel" || name == "CHANNEL") {
        for (int code = 0; code < kx::ChannelCount; ++code)
            for (const bool chcon : {false, true})
                if (const auto channel = kx::ChannelName(code, chcon);
                    std::find(c.words.begin(), c.words.end(), channel) == c.words.end())
                    c.words.push_back(channel);
    } else if (name == "--polarity") {
        c.words = {kx::PolarityName(false), kx::PolarityName(true)};
    } else if (name == "--chop" || name == "--buffer") {
        c.words = {kx::SwitchName(true), kx::SwitchName(false)};
    } else if (name == "REGISTER") {
        for (const auto& reg : kx::NamedRegisters)
            c.words.push_back(reg.name);
    } else {
        c.kind = Completion::Kind::Nothing;
    }
    return c;
}

const CLI::App* CommandNamed(const Tool& tool, const std::string& name) {
    const auto found =
        tool.app().get_subcommands([&](const CLI::App* a) { return a->get_name() == name; });
    return found.empty() ? nullptr : found.front();
}

std::string Tail(const std::string& synopsis) {
    const size_t blank = synopsis.find(' ');
    return blank == std::string::npos ? "" : synopsis.substr(blank + 1);
}

bool Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (out) return true;
    std::cerr << "kx3105-cli-shell-files: cannot write " << path << "\n";
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: kx3105-cli-shell-files DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    Tool tool;
    RegisterCommands(tool, [](const ChartRequest&) { return ExitOk; });
    const ValueNames own = ValueNamesOf("", tool.GeneralHelp());

    const auto completion = [&](const std::string& command, const CLI::Option& option) {
        const CLI::App* sub = command.empty() ? nullptr : CommandNamed(tool, command);
        const CommandText* text = sub ? tool.TextOf(sub) : nullptr;
        const ValueNames names =
            text ? ValueNamesOf(Tail(text->synopsis), ExpandHelp(text->help)) : own;
        std::string valueName;
        if (option.get_positional()) {
            valueName = option.get_name();
            // The operand's words in the synopsis ("reset hardware|software"), by its place.
            const auto operands =
                sub->get_options([](const CLI::Option* o) { return o->get_positional(); });
            for (size_t i = 0; i < operands.size() && i < names.operands.size(); ++i)
                if (operands[i] == &option && names.operands[i].find('|') != std::string::npos)
                    valueName = names.operands[i];
        } else {
            for (const auto& name : option.get_snames())
                if (auto it = names.options.find("-" + name); it != names.options.end())
                    valueName = it->second;
            for (const auto& name : option.get_lnames())
                if (auto it = names.options.find("--" + name); it != names.options.end())
                    valueName = it->second;
        }
        Completion done = CompletionOfValueName(valueName);
        // The settings' names after the help's own words ("all" of --ranges all|LIST).
        const Completion settings = SettingWords(option.get_name());
        if (settings.kind != Completion::Kind::Nothing) {
            done.kind = Completion::Kind::Words;
            for (const auto& word : settings.words)
                if (std::find(done.words.begin(), done.words.end(), word) == done.words.end())
                    done.words.push_back(word);
        }
        return done;
    };

    std::string commands = "[COMMANDS]\n";
    for (const CLI::App* sub : tool.app().get_subcommands([](const CLI::App*) { return true; })) {
        const CommandText* text = tool.TextOf(sub);
        commands += RoffOfHelp(text->name,
                               std::string(ToolName) + " [board options] " + text->synopsis,
                               ExpandHelp(text->help));
    }
    return Write(dir + "/kx3105-cli", BashCompletion(tool.app(), ToolName, completion)) &&
                   Write(dir + "/kx3105-cli.h2m", commands)
               ? 0
               : 1;
}

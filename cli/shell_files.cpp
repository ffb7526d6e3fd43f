#include "cli/shell_files.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace kx::cli {

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

bool IsOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-' && word[1] != ' ';
}

// A value name, not the option's words: "FILE", "dat|csv|json", "WxH"; not "(repeatable)".
bool IsValueName(const std::string& word) {
    return !word.empty() && word[0] != '(' && word[0] != '[' && !IsOption(word);
}

std::vector<std::string> NamesOf(const CLI::Option& option) {
    std::vector<std::string> names;
    for (const auto& s : option.get_snames())
        names.push_back("-" + s);
    for (const auto& l : option.get_lnames())
        names.push_back("--" + l);
    return names;
}

bool TakesValue(const CLI::Option& option) {
    return option.get_expected_max() != 0;
}

std::string Joined(const std::vector<std::string>& words, const std::string& between) {
    std::string text;
    for (const auto& w : words)
        text += (text.empty() ? "" : between) + w;
    return text;
}

// A word as bash reads it literally in a script.
std::string ShellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string CompletionCode(const Completion& c, const std::string& fn) {
    switch (c.kind) {
        case Completion::Kind::Files:
            return "_filedir";
        case Completion::Kind::Words: {
            std::vector<std::string> quoted;
            for (const auto& w : c.words)
                quoted.push_back(ShellQuoted(w));
            return fn + "_words " + Joined(quoted, " ");
        }
        case Completion::Kind::Nothing:
            break;
    }
    return ":";
}

std::vector<const CLI::Option*> Options(const CLI::App& app, bool positional) {
    return app.get_options(
        [positional](const CLI::Option* o) { return o->get_positional() == positional; });
}

}  // namespace

ValueNames ValueNamesOf(const std::string& synopsis, const std::string& help) {
    ValueNames names;
    // The synopsis: operands in order, "--option VALUE" pairs, brackets and "|" kept in words.
    const auto words = Words(synopsis);
    int depth = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        std::string w = words[i];
        const bool opened = depth > 0 || w.front() == '[';
        depth += static_cast<int>(std::count(w.begin(), w.end(), '[')) -
                 static_cast<int>(std::count(w.begin(), w.end(), ']'));
        w.erase(std::remove_if(w.begin(), w.end(), [](char c) { return c == '[' || c == ']'; }),
                w.end());
        if (IsOption(w)) {
            if (i + 1 < words.size() && words[i + 1].front() != '[' && IsValueName(words[i + 1])) {
                std::string value = words[++i];
                depth -= static_cast<int>(std::count(value.begin(), value.end(), ']'));
                value.erase(std::remove(value.begin(), value.end(), ']'), value.end());
                names.options.emplace(w, value);
            }
        } else if (!opened && !w.empty() && w != "settings" && w != "scaling") {
            names.operands.push_back(w);
        }
    }
    // The option list: "  -o FILE            write ...", "  --chop on|off      chopping".
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  -", 0) != 0) continue;
        const auto w = Words(line);
        if (w.size() > 1 && IsValueName(w[1]) && line.find(w[1]) < line.find("  ", 2))
            names.options.emplace(w[0], w[1]);
    }
    return names;
}

Completion CompletionOfValueName(const std::string& valueName) {
    Completion c;
    if (valueName.rfind("FILE", 0) == 0 || valueName.rfind("OUT", 0) == 0 ||
        valueName == "DEVICE") {
        c.kind = Completion::Kind::Files;
    } else if (valueName.find('|') != std::string::npos) {
        std::istringstream in(valueName);
        for (std::string w; std::getline(in, w, '|');)
            if (!w.empty() && w[0] != '-' &&
                std::none_of(w.begin(), w.end(), [](unsigned char ch) { return std::isupper(ch); }))
                c.words.push_back(w);
        if (!c.words.empty()) c.kind = Completion::Kind::Words;
    }
    return c;
}

std::string BashCompletion(const CLI::App& app, const std::string& program,
                           const CompletionOf& completionOf) {
    std::string fn = "_" + program;
    std::replace(fn.begin(), fn.end(), '-', '_');
    const auto commands = app.get_subcommands([](const CLI::App*) { return true; });
    const auto globals = Options(app, false);

    std::vector<std::string> globalNames, globalValued;
    for (const auto* o : globals) {
        for (const auto& n : NamesOf(*o)) {
            globalNames.push_back(n);
            if (TakesValue(*o)) globalValued.push_back(n);
        }
    }

    std::ostringstream s;
    s << "# bash completion for " << program << ", made from its own command line when it was\n"
      << "# built: do not edit.\n\n";
    // Words that start with what is typed, quoted as the shell reads them.
    s << fn << "_words()\n{\n"
      << "    local word\n"
      << "    COMPREPLY=()\n"
      << "    for word in \"$@\"; do\n"
      << "        [[ $word == \"$cur\"* ]] && COMPREPLY+=(\"$(printf '%q' \"$word\")\")\n"
      << "    done\n"
      << "}\n\n";

    // COMMAND OPTION: true when the option takes a value (the next word).
    s << fn << "_takes_value()\n{\n";
    if (!commands.empty()) {
        s << "    case $1 in\n";
        for (const auto* c : commands) {
            std::vector<std::string> valued;
            for (const auto* o : Options(*c, false))
                if (TakesValue(*o))
                    for (const auto& n : NamesOf(*o))
                        valued.push_back(n);
            if (valued.empty()) continue;
            s << "        " << c->get_name() << ") case $2 in " << Joined(valued, " | ")
              << ") return 0 ;; esac ;;\n";
        }
        s << "    esac\n";
    }
    if (!globalValued.empty())
        s << "    case $2 in " << Joined(globalValued, " | ") << ") return 0 ;; esac\n";
    s << "    return 1\n}\n\n";

    s << fn << "()\n{\n"
      << "    local cur prev words cword split\n"
      << "    _init_completion -s || return\n\n"
      << "    local command= operand=0 i\n"
      << "    for ((i = 1; i < cword; i++)); do\n"
      << "        if [[ ${words[i]} == -* ]]; then\n"
      << "            [[ ${words[i]} != *=* ]] && " << fn
      << "_takes_value \"$command\" \"${words[i]}\" && i=$((i + 1))\n";
    if (!commands.empty())
        s << "        elif [[ -z $command ]]; then\n"
          << "            command=${words[i]}\n";
    s << "        else\n"
      << "            operand=$((operand + 1))\n"
      << "        fi\n"
      << "    done\n\n";

    // The value of an option.
    s << "    if [[ $prev == -* ]] && " << fn << "_takes_value \"$command\" \"$prev\"; then\n";
    if (!commands.empty()) {
        s << "        case $command in\n";
        for (const auto* c : commands) {
            std::string cases;
            for (const auto* o : Options(*c, false)) {
                if (!TakesValue(*o)) continue;
                const Completion done = completionOf(c->get_name(), *o);
                cases += "                " + Joined(NamesOf(*o), " | ") + ") " +
                         CompletionCode(done, fn) + "; return ;;\n";
            }
            if (cases.empty()) continue;
            s << "            " << c->get_name() << ")\n"
              << "                case $prev in\n"
              << cases << "                esac ;;\n";
        }
        s << "        esac\n";
    }
    if (!globalValued.empty()) {
        s << "        case $prev in\n";
        for (const auto* o : globals)
            if (TakesValue(*o))
                s << "            " << Joined(NamesOf(*o), " | ") << ") "
                  << CompletionCode(completionOf("", *o), fn) << " ;;\n";
        s << "        esac\n";
    }
    s << "        return\n"
      << "    fi\n\n";

    // Options: the command's, then the program's own.
    s << "    if [[ $cur == -* ]]; then\n";
    if (!commands.empty()) {
        s << "        case $command in\n";
        for (const auto* c : commands) {
            std::vector<std::string> names;
            for (const auto* o : Options(*c, false))
                for (const auto& n : NamesOf(*o))
                    names.push_back(n);
            for (const auto& n : globalNames)
                if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
            s << "            " << c->get_name() << ") " << fn << "_words " << Joined(names, " ")
              << " ;;\n";
        }
        s << "            *) " << fn << "_words " << Joined(globalNames, " ") << " ;;\n"
          << "        esac\n";
    } else {
        s << "        " << fn << "_words " << Joined(globalNames, " ") << "\n";
    }
    s << "        [[ $split == true ]] && COMPREPLY=()\n"
      << "        return\n"
      << "    fi\n\n";

    // The command, then its operands by their place.
    if (!commands.empty()) {
        std::vector<std::string> names;
        for (const auto* c : commands)
            names.push_back(c->get_name());
        s << "    case $command in\n"
          << "        '') " << fn << "_words " << Joined(names, " ") << " ;;\n";
        for (const auto* c : commands) {
            const auto operands = Options(*c, true);
            if (operands.empty()) continue;
            s << "        " << c->get_name() << ")\n"
              << "            case $operand in\n";
            for (size_t i = 0; i < operands.size(); ++i) {
                const bool repeats = operands[i]->get_items_expected_max() > 1;
                const std::string place =
                    i + 1 == operands.size() && repeats ? "*" : std::to_string(i);
                s << "                " << place << ") "
                  << CompletionCode(completionOf(c->get_name(), *operands[i]), fn) << " ;;\n";
            }
            s << "            esac ;;\n";
        }
        s << "    esac\n";
    }
    s << "} && complete -F " << fn << " " << program << "\n";
    return s.str();
}

namespace {

// Text as roff reads it: backslashes and minus signs escaped, a leading dot or quote defused.
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

size_t Indent(const std::string& line) {
    const size_t n = line.find_first_not_of(' ');
    return n == std::string::npos ? line.size() : n;
}

}  // namespace

std::string RoffOfHelp(const std::string& title, const std::string& usage,
                       const std::string& help) {
    std::ostringstream s;
    s << ".SS \"" << Roff(title) << "\"\n"
      << ".B " << Roff(usage) << "\n.PP\n";
    std::istringstream in(help);
    bool inOption = false;
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(' ') == std::string::npos) {
            s << ".PP\n";
            inOption = false;
            continue;
        }
        const size_t indent = Indent(line);
        const std::string text = line.substr(indent);
        if (indent == 2 && text[0] == '-') {
            // "  -o FILE            write to FILE": the option and its value, then its text.
            const size_t gap = text.find("  ");
            s << ".TP\n.B " << Roff(text.substr(0, gap)) << "\n";
            if (gap != std::string::npos) {
                const size_t start = text.find_first_not_of(' ', gap);
                if (start != std::string::npos) s << Roff(text.substr(start)) << "\n";
            }
            inOption = true;
        } else if (indent == 2 && text.back() == ':') {
            s << ".PP\n" << Roff(text) << "\n";
            inOption = false;
        } else if (inOption && indent > 2) {
            s << Roff(text) << "\n";
        } else {
            if (inOption) s << ".PP\n";
            inOption = false;
            s << Roff(text) << "\n";
        }
    }
    return s.str();
}

}  // namespace kx::cli

#include "server/scpi_parser.h"

#include <stdexcept>

#include "server/scpi_errors.h"

namespace kx::scpi {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
// Printable ASCII: what may stand outside a quoted string.
bool IsPrintable(char c) {
    return c >= 0x21 && c <= 0x7E;
}
char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = Upper(c);
    return out;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Splits on `separator` outside quoted strings ('...' or "...", a doubled quote inside). False
// when a string is not closed.
bool SplitOutsideQuotes(std::string_view text, char separator, std::vector<std::string_view>& out) {
    size_t start = 0;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) {
                if (i + 1 < text.size() && text[i + 1] == quote)
                    ++i;
                else
                    quote = 0;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == separator) {
            out.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(text.substr(start));
    return quote == 0;
}

void Fail(Unit& unit, int code, std::string info = {}) {
    if (unit.error == 0) {
        unit.error = code;
        unit.errorInfo = std::move(info);
    }
}

// The character error for a byte outside a header: invalid when not printable ASCII.
int CharacterError(char c) {
    return IsPrintable(c) ? err::Syntax : err::InvalidCharacter;
}

// The header at the start of `text`; returns where it ends.
size_t ParseHeader(std::string_view text, Unit& unit) {
    size_t i = 0;
    auto mnemonic = [&](std::string& out) {
        const size_t start = i;
        if (i >= text.size() || !IsAlpha(text[i])) return false;
        while (i < text.size() && (IsAlpha(text[i]) || IsDigit(text[i]) || text[i] == '_'))
            ++i;
        out = Upper(text.substr(start, i - start));
        if (out.size() > MaxMnemonicLength) Fail(unit, err::MnemonicTooLong);
        return true;
    };
    if (text[i] == '*') {
        unit.common = true;
        ++i;
        std::string name;
        if (!mnemonic(name)) {
            Fail(unit, i < text.size() ? CharacterError(text[i]) : err::Syntax);
            return text.size();
        }
        unit.nodes.push_back("*" + name);
    } else {
        if (text[i] == ':') {
            unit.absolute = true;
            ++i;
        }
        for (;;) {
            std::string name;
            if (!mnemonic(name)) {
                Fail(unit, i < text.size() ? CharacterError(text[i]) : err::Syntax);
                return text.size();
            }
            unit.nodes.push_back(std::move(name));
            if (i < text.size() && text[i] == ':') {
                ++i;
                continue;
            }
            break;
        }
    }
    if (i < text.size() && text[i] == '?') {
        unit.query = true;
        ++i;
    }
    if (i < text.size() && !IsBlank(text[i])) {
        Fail(unit, CharacterError(text[i]));
        return text.size();
    }
    return i;
}

void ParseParameters(std::string_view text, Unit& unit) {
    text = Trimmed(text);
    if (text.empty()) return;
    std::vector<std::string_view> parts;
    if (!SplitOutsideQuotes(text, ',', parts)) {
        Fail(unit, err::InvalidStringData, "string not closed");
        return;
    }
    for (std::string_view part : parts) {
        part = Trimmed(part);
        if (part.empty()) {
            Fail(unit, err::Syntax, "empty parameter");
            return;
        }
        const bool quoted = part.front() == '"' || part.front() == '\'';
        if (quoted) {
            if (part.size() < 2 || part.back() != part.front()) {
                Fail(unit, err::InvalidStringData);
                return;
            }
        } else {
            for (const char c : part)
                if (!IsPrintable(c) && !IsBlank(c)) {
                    Fail(unit, err::InvalidCharacter);
                    return;
                }
        }
        unit.params.emplace_back(part);
    }
}

}  // namespace

std::vector<Unit> ParseLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string_view> texts;
    std::vector<Unit> units;
    // A string left open runs to the end of the line: the last unit finds it and fails.
    (void)SplitOutsideQuotes(line, ';', texts);
    for (std::string_view text : texts) {
        text = Trimmed(text);
        if (text.empty()) continue;
        Unit unit;
        size_t headerEnd = 0;
        while (headerEnd < text.size() && !IsBlank(text[headerEnd]))
            ++headerEnd;
        unit.header = std::string(text.substr(0, headerEnd));
        const size_t end = ParseHeader(text, unit);
        if (unit.error == 0) ParseParameters(text.substr(end), unit);
        units.push_back(std::move(unit));
    }
    return units;
}

Pattern::Pattern(std::string_view text) : text_(text) {
    if (!text.empty() && text.back() == '?') {
        query_ = true;
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '*') {
        common_ = true;
        nodes_.push_back({Upper(text), Upper(text), false});
        return;
    }
    size_t i = 0;
    while (i < text.size()) {
        bool optional = false;
        if (text[i] == '[') {
            optional = true;
            ++i;
        }
        if (i < text.size() && text[i] == ':') ++i;
        size_t end = i;
        while (end < text.size() && (IsAlpha(text[end]) || IsDigit(text[end])))
            ++end;
        if (end == i) throw std::invalid_argument("bad command pattern: " + text_);
        Node node;
        for (size_t k = i; k < end; ++k)
            if (!(text[k] >= 'a' && text[k] <= 'z')) node.shortForm += text[k];
        node.longForm = Upper(text.substr(i, end - i));
        node.optional = optional;
        nodes_.push_back(std::move(node));
        i = end;
        if (optional) {
            if (i >= text.size() || text[i] != ']')
                throw std::invalid_argument("bad command pattern: " + text_);
            ++i;
        }
    }
}

bool Pattern::Matches(const std::vector<std::string>& nodes) const {
    return MatchFrom(0, nodes, 0, nullptr);
}

size_t Pattern::PathLength(const std::vector<std::string>& nodes) const {
    size_t above = 0;
    return MatchFrom(0, nodes, 0, &above) ? above : 0;
}

bool Pattern::MatchFrom(size_t p, const std::vector<std::string>& nodes, size_t n,
                        size_t* above) const {
    if (p == nodes_.size()) return n == nodes.size();
    const Node& node = nodes_[p];
    if (n < nodes.size() && (nodes[n] == node.shortForm || nodes[n] == node.longForm) &&
        MatchFrom(p + 1, nodes, n + 1, above)) {
        if (above && p + 1 < nodes_.size()) ++*above;
        return true;
    }
    return node.optional && MatchFrom(p + 1, nodes, n, above);
}

bool MatchesMnemonic(std::string_view word, std::string_view choice) {
    const std::string upper = Upper(word);
    std::string shortForm;
    for (const char c : choice)
        if (!(c >= 'a' && c <= 'z')) shortForm += c;
    return upper == shortForm || upper == Upper(choice);
}

}  // namespace kx::scpi

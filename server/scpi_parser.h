#pragma once

#include <string>
#include <string_view>
#include <vector>

// A line of SCPI as a client sends it, taken apart: program message units separated by ';',
// each a header (common "*IDN?" or compound "CONFigure:RANGe", a leading ':' for the root, a
// trailing '?' for a query) and its comma-separated parameters. The headers are matched against
// command patterns written as SCPI documents them: upper case the short form, the whole word the
// long form, optional nodes in brackets ("SYSTem:ERRor[:NEXT]?"). Plain C++.

namespace kx::scpi {

// Mnemonics longer than this are refused (-112), as IEEE 488.2 limits them.
inline constexpr size_t MaxMnemonicLength = 12;

struct Unit {
    std::string header;               // as written, for messages
    std::vector<std::string> nodes;   // mnemonics, upper-cased ("*IDN" for a common command)
    bool absolute = false;            // began with ':'
    bool common = false;              // began with '*'
    bool query = false;               // ended with '?'
    std::vector<std::string> params;  // trimmed; a quoted string keeps its quotes
    int error = 0;                    // a syntax error found in this unit (an err:: number)
    std::string errorInfo;
};

// The units of one line (no line end; a trailing CR is dropped). Empty units are left out.
std::vector<Unit> ParseLine(std::string_view line);

// A command pattern, compiled once.
class Pattern {
public:
    // "SYSTem:ERRor[:NEXT]?", "*IDN?", "FORMat[:DATA]". Throws std::invalid_argument on a
    // malformed pattern (a programming error).
    explicit Pattern(std::string_view text);

    bool query() const { return query_; }
    bool common() const { return common_; }
    // True when the upper-cased mnemonics name this command, each in its short or long form.
    bool Matches(const std::vector<std::string>& nodes) const;
    // Of mnemonics that match, how many stand for nodes above the command's last one: the header
    // path that the next unit on the line is relative to ("FORM" of FORMat[:DATA] is one).
    size_t PathLength(const std::vector<std::string>& nodes) const;
    const std::string& text() const { return text_; }

private:
    struct Node {
        std::string shortForm;
        std::string longForm;
        bool optional = false;
    };
    // `above`, when given, counts the mnemonics matched to nodes other than the last.
    bool MatchFrom(size_t pattern, const std::vector<std::string>& nodes, size_t node,
                   size_t* above) const;

    std::string text_;
    std::vector<Node> nodes_;
    bool query_ = false;
    bool common_ = false;
};

// Whether `word` (any case) is the short or the long form of `choice` ("BIPolar": BIP or
// BIPOLAR), for character parameters.
bool MatchesMnemonic(std::string_view word, std::string_view choice);

// Commands by pattern, with the header path rule of SCPI: after a compound command the units that
// follow on the line without a leading ':' are relative to its parent node ("CONF:RANG 2.56;POL
// BIP"); a header not found there is looked up from the root. Common commands leave the path as
// it was. T is what the caller keeps per command.
template <class T>
class CommandTable {
public:
    struct Entry {
        Pattern pattern;
        T value;
    };

    void Add(std::string_view pattern, T value) {
        entries_.push_back({Pattern(pattern), std::move(value)});
    }

    // Resolves one unit of a line; `path` carries the header path from unit to unit (start each
    // line with an empty one). nullptr when no command has this header.
    const Entry* Resolve(const Unit& unit, std::vector<std::string>& path) const {
        if (unit.common) return Find(unit.nodes, unit.query);
        std::vector<std::string> full;
        if (!unit.absolute && !path.empty()) {
            full = path;
            full.insert(full.end(), unit.nodes.begin(), unit.nodes.end());
        }
        const Entry* entry = full.empty() ? nullptr : Find(full, unit.query);
        if (!entry) {
            full = unit.nodes;
            entry = Find(full, unit.query);
        }
        if (entry) {
            const size_t keep = entry->pattern.PathLength(full);
            path.assign(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep));
        }
        return entry;
    }

    const std::vector<Entry>& entries() const { return entries_; }

private:
    const Entry* Find(const std::vector<std::string>& nodes, bool query) const {
        for (const Entry& e : entries_)
            if (e.pattern.query() == query && e.pattern.Matches(nodes)) return &e;
        return nullptr;
    }

    std::vector<Entry> entries_;
};

}  // namespace kx::scpi

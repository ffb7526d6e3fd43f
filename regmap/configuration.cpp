#include "regmap/configuration.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "acquisition/settings.h"
#include "converter/filter_logic.h"
#include "core/hex.h"
#include "core/numtext.h"
#include "core/safe_file.h"

namespace kx::config {

namespace {

using nlohmann::json;

const char* const RowKeys[] = {"channel", "selected", "range", "polarity", "filter"};
const char* const TopKeys[] = {"format", "version", "registers", "multichannel"};

// The registers a file holds: every writable one of the map.
std::vector<const fields::RegisterFields*> FileRegisters() {
    std::vector<const fields::RegisterFields*> regs;
    for (const fields::RegisterFields& r : fields::Registers())
        if (r.writable()) regs.push_back(&r);
    return regs;
}

std::string Names(const auto& keys) {
    std::string text;
    for (const auto& k : keys)
        text += (text.empty() ? "" : ", ") + std::string(k);
    return text;
}

// A refusal: the field's name and why.
struct Refused {
    std::string text;
};

[[noreturn]] void Refuse(const std::string& field, const std::string& why) {
    throw Refused{field + ": " + why};
}

const json& Member(const json& object, const std::string& key, const std::string& field) {
    const auto it = object.find(key);
    if (it == object.end()) Refuse(field, "missing");
    return *it;
}

void OnlyKeys(const json& object, const auto& keys, const std::string& prefix) {
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (const auto& k : keys)
            known = known || key == k;
        if (!known) Refuse(prefix + key, "no such entry (" + Names(keys) + ")");
    }
}

std::string Text(const json& value, const std::string& field, const char* what) {
    if (!value.is_string()) Refuse(field, std::string("give ") + what + " as text");
    return value.get<std::string>();
}

int32_t RegisterValue(const json& value, const fields::RegisterFields& reg,
                      const std::string& field) {
    const std::string text = Text(value, field, "the value in hexadecimal");
    const uint32_t max = (1u << reg.info->width) - 1u;
    const auto parsed = ParseHexValue(text, max);
    if (parsed) return static_cast<int32_t>(*parsed);
    if (ParseHexValue(text, 0xFFFFFFFFu))
        Refuse(field, text + " does not fit the " + std::to_string(reg.info->width) + "-bit " +
                          reg.key + " register");
    Refuse(field, "'" + text + "' is not a hexadecimal value");
}

void ReadRegisters(const json& registers, Configuration& config) {
    if (!registers.is_object()) Refuse("registers", "give the registers as an object");
    const auto regs = FileRegisters();
    for (const auto& [key, value] : registers.items()) {
        const fields::RegisterFields* reg = fields::FieldsByKey(key);
        if (reg && !reg->writable()) Refuse("registers." + key, "the register is read-only");
        if (!reg) {
            std::vector<const char*> names;
            for (const auto* r : regs)
                names.push_back(r->key);
            Refuse("registers." + key, "no such register (" + Names(names) + ")");
        }
    }
    for (const fields::RegisterFields* reg : regs) {
        const std::string field = std::string("registers.") + reg->key;
        config.registers[fields::IndexOf(*reg)] =
            RegisterValue(Member(registers, reg->key, field), *reg, field);
    }
    const int32_t mode = config.registers[fields::IndexOf(*fields::FieldsOf(RegisterMap::Mode))];
    if (const auto why = fields::Refusal(config.registers)) Refuse("registers.mode", *why);
    const bool chop = ChopEnabledIn(mode);
    const int32_t filter =
        config.registers[fields::IndexOf(*fields::FieldsOf(RegisterMap::Filter))];
    // As every face decides it: the settings' rule book.
    if (const auto refusal = CheckSettings({.filter = filter, .chop = chop}, mode, filter))
        Refuse("registers.filter", refusal->Words("filter"));
}

ChannelSetting ReadRow(const json& row, int index) {
    const std::string prefix = "multichannel[" + std::to_string(index) + "].";
    if (!row.is_object()) Refuse(prefix.substr(0, prefix.size() - 1), "give a row as an object");
    OnlyKeys(row, RowKeys, prefix);
    const std::string name =
        ChannelName(multi::ChannelTable[static_cast<size_t>(index)].channelCode);
    const std::string channel =
        Text(Member(row, "channel", prefix + "channel"), prefix + "channel", "the channel");
    if (channel != name)
        Refuse(prefix + "channel", "'" + channel + "' where the screen's row " +
                                       std::to_string(index + 1) + " is " + name);
    ChannelSetting s;
    const json& selected = Member(row, "selected", prefix + "selected");
    if (!selected.is_boolean()) Refuse(prefix + "selected", "give true or false");
    s.selected = selected.get<bool>();
    // Read by the settings' rule book: every spelling the other faces take ("2.56 V" as the list
    // writes it, "2.56V", "2.56", "Bipolar", "bipolar").
    const std::string range = Text(Member(row, "range", prefix + "range"), prefix + "range",
                                   "the range as the list shows it");
    const auto code = ReadRange(range);
    if (!code) Refuse(prefix + "range", code.refusal->Words("range"));
    s.rangePosition = 8 - *code.value;
    const std::string polarity = Text(Member(row, "polarity", prefix + "polarity"),
                                      prefix + "polarity", "Bipolar or Unipolar");
    const auto unipolar = ReadPolarity(polarity);
    if (!unipolar) Refuse(prefix + "polarity", unipolar.refusal->Words("polarity"));
    s.unipolar = *unipolar.value;
    s.filter = Text(Member(row, "filter", prefix + "filter"), prefix + "filter",
                    "the filter word in hexadecimal");
    const auto word = ParseHex(s.filter);
    if (!word || *word < 3 || *word > static_cast<unsigned long long>(MaxFilterWord))
        Refuse(prefix + "filter", "'" + s.filter + "' is no filter word (hexadecimal, 3 to FF)");
    return s;
}

void ReadChannels(const json& rows, Configuration& config) {
    if (!rows.is_array() || rows.size() != multi::ChannelCount)
        Refuse("multichannel", "give the " + std::to_string(multi::ChannelCount) +
                                   " rows of the multi-channel screen, in its order");
    for (int i = 0; i < multi::ChannelCount; ++i)
        config.channels[static_cast<size_t>(i)] = ReadRow(rows[static_cast<size_t>(i)], i);
    // The pair interlock of the screen: a differential row and its halves are never picked
    // together.
    for (int i = 0; i < multi::ChannelCount; ++i) {
        const multi::ChannelRow& row = multi::ChannelTable[static_cast<size_t>(i)];
        if (!row.differential || !config.channels[static_cast<size_t>(i)].selected) continue;
        for (const int half : row.partners)
            if (config.channels[static_cast<size_t>(half)].selected)
                Refuse("multichannel[" + std::to_string(i) + "].selected",
                       ChannelName(row.channelCode) + " cannot be selected together with " +
                           ChannelName(multi::ChannelTable[static_cast<size_t>(half)].channelCode));
    }
}

}  // namespace

std::array<ChannelSetting, multi::ChannelCount> ChannelsOf(const multi::MultiChannelState& state) {
    std::array<ChannelSetting, multi::ChannelCount> rows{};
    for (int i = 0; i < multi::ChannelCount; ++i)
        rows[static_cast<size_t>(i)] = {state.RestoredChecked(i), state.RestoredRangePosition(i),
                                        state.RestoredUnipolar(i), state.RestoredFilterText(i)};
    return rows;
}

Configuration FromBoard(BoardLink& link, const multi::MultiChannelState& state) {
    return {fields::ReadAll(link), ChannelsOf(state)};
}

std::string ToJson(const Configuration& config) {
    json registers = json::object();
    for (const fields::RegisterFields* reg : FileRegisters())
        registers[reg->key] =
            HexPadded(config.registers[fields::IndexOf(*reg)], reg->info->width / 4);
    json rows = json::array();
    for (int i = 0; i < multi::ChannelCount; ++i) {
        const ChannelSetting& s = config.channels[static_cast<size_t>(i)];
        rows.push_back(
            json{{"channel", ChannelName(multi::ChannelTable[static_cast<size_t>(i)].channelCode)},
                 {"selected", s.selected},
                 {"range", multi::RangeItems()[static_cast<size_t>(s.rangePosition - 1)].text},
                 {"polarity", s.unipolar ? multi::UnipolarItem : multi::BipolarItem},
                 {"filter", s.filter}});
    }
    json all = json::object();
    all["format"] = FormatName;
    all["version"] = FormatVersion;
    all["registers"] = registers;
    all["multichannel"] = rows;
    return all.dump(2) + "\n";
}

std::optional<Configuration> Parse(std::string_view text, std::string& error) {
    const json all = json::parse(text, nullptr, false);
    if (all.is_discarded()) {
        error = "the file is not JSON";
        return std::nullopt;
    }
    try {
        if (!all.is_object()) Refuse("(file)", "a configuration is one JSON object");
        OnlyKeys(all, TopKeys, "");
        const json& format = Member(all, "format", "format");
        if (!format.is_string() || format.get<std::string>() != FormatName)
            Refuse("format", std::string("not \"") + FormatName + "\": no KX3105 configuration");
        const json& version = Member(all, "version", "version");
        if (!version.is_number_integer()) Refuse("version", "give a whole number");
        if (version.get<int64_t>() != FormatVersion)
            Refuse("version", std::to_string(version.get<int64_t>()) +
                                  " is no version this program reads (" +
                                  std::to_string(FormatVersion) + ")");
        Configuration config;
        ReadRegisters(Member(all, "registers", "registers"), config);
        ReadChannels(Member(all, "multichannel", "multichannel"), config);
        return config;
    } catch (const Refused& r) {
        error = r.text;
        return std::nullopt;
    }
}

std::optional<Configuration> LoadFile(const std::string& path, std::string& error) {
    std::string text;
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = "cannot read " + path + ": " + SystemReason(errno);
            return std::nullopt;
        }
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    if (text.size() > MaxFileBytes) {
        error = path + ": more than " + std::to_string(MaxFileBytes / 1024) +
                " KiB is no configuration";
        return std::nullopt;
    }
    auto config = Parse(text, error);
    if (!config) error = path + ": " + error;
    return config;
}

std::string SaveFile(const std::string& path, const Configuration& config) {
    const std::string text = ToJson(config);
    if (path == "-") {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
            std::fflush(stdout) != 0)
            return "cannot write standard output: " + SystemReason(errno);
        return {};
    }
    const std::string why = files::SaveAtomically(path, text);
    return why.empty() ? why : "cannot save " + path + ": " + why;
}

std::vector<fields::PlannedWrite> PlanFor(const Configuration& config,
                                          const fields::Values& current) {
    fields::Values wanted = config.registers;
    // The status register is never written: it stays as it reads.
    const size_t status = fields::IndexOf(*fields::FieldsOf(RegisterMap::Status));
    wanted[status] = current[status];
    return fields::PlanWrites(current, wanted);
}

bool Apply(BoardLink& link, const Configuration& config, multi::MultiChannelState* state) {
    const auto results = fields::MakeWrites(link, PlanFor(config, fields::ReadAll(link)));
    if (!results.empty() && !results.back().ok) return false;
    if (state) {
        for (int i = 0; i < multi::ChannelCount; ++i) {
            const ChannelSetting& s = config.channels[static_cast<size_t>(i)];
            multi::ChannelSettings& saved = state->settings[static_cast<size_t>(i)];
            saved.ChannelSelected = s.selected ? 1 : 0;
            saved.SavedRange = static_cast<int16_t>(s.rangePosition);
            saved.SavedPolarity = s.unipolar ? 1 : 0;
            saved.SavedFilterText = s.filter;
        }
    }
    return true;
}

}  // namespace kx::config

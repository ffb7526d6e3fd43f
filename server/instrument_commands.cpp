#include <algorithm>
#include <cmath>

#include "acquisition/named_registers.h"
#include "acquisition/settings.h"
#include "converter/adc_control_fields.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "server/interpreter.h"
#include "server/measurements.h"
#include "server/scpi_values.h"

// CONFigure, REGister, READ?, MEASure and CALibrate: the converter's settings, its registers and
// its codes, with the values as kx3105-cli takes them.

namespace kx::server {

namespace {

using namespace scpi;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A register by kx3105-cli's name, any case.
const RegisterInfo* RegisterNamed(Call& call, const std::string& param) {
    if (const RegisterInfo* info = FindRegister(Lower(Unquoted(param)))) return info;
    call.Error(err::IllegalParameterValue, "no register '" + Unquoted(param) + "'");
    return nullptr;
}

// A channel as kx3105-cli names it ("AIN1-AINCOM", with CHCON "AIN9-AIN10"), or by its code
// 0 to 15.
std::optional<int> ChannelByName(const std::string& param) {
    if (const auto code = ChannelCodeByName(Unquoted(param))) return code;
    int64_t code = 0;
    if (ParseCount(param, 0, 15, code) == 0) return static_cast<int>(code);
    return std::nullopt;
}

// The range code of a nominal range in volts (0.02 ... 2.56).
std::optional<int> RangeByVolts(double volts) {
    for (int code = 0; code < 8; ++code) {
        const double nominal = 0.02 * (1 << code);
        if (std::fabs(volts - nominal) <= nominal * 1e-6) return code;
    }
    return std::nullopt;
}

int32_t Read(Call& call, const RegisterInfo& info) {
    return call.board->ReadRegister(info);
}

template <class Set>
void Apply(Call& call, Set set) {
    SettingChange change;
    set(change);
    if (const Failure f = call.board->Apply(change); !f.empty()) call.Error(err::Hardware, f);
}

Command Board(std::function<void(Call&)> run, size_t minParams = 0, size_t maxParams = 0) {
    return Command{true, minParams, std::max(minParams, maxParams), std::move(run)};
}

// The codes of READ? as the session's form has them.
std::string CodesResponse(const Session& session, const std::vector<int32_t>& codes) {
    if (session.form == DataForm::Ascii) return AsciiCodes(codes);
    return DefiniteBlock(Int32Bytes(codes, session.bigEndian));
}

// The count of a read, `min` to MaxReadCount and within what the line has left; false with the
// error queued.
bool TakeCount(Call& call, int64_t min, int64_t& count) {
    if (const int e = ParseCount(call.Param(0), min, MaxReadCount, count)) {
        call.Error(e);
        return false;
    }
    if (count > call.codesLeft) {
        call.Error(err::DataOutOfRange,
                   "a line reads at most " + std::to_string(MaxReadCount) + " codes");
        return false;
    }
    call.codesLeft -= count;
    return true;
}

// Reads `count` codes for a query; false (with the error queued) when the board failed.
bool ReadFor(Call& call, int64_t count, std::vector<int32_t>& codes) {
    const ReadOutcome outcome = call.board->ReadCodes(count, call.stop, codes);
    if (outcome.end == ReadEnd::TimedOut) {
        call.Error(err::Hardware, outcome.failure);
        return false;
    }
    return true;
}

void AddConfigure(CommandSet& c) {
    c.Add("CONFigure:RANGe", Board(
                                 [](Call& call) {
                                     double volts = 0;
                                     if (const int e = ParseVolts(call.Param(0), volts))
                                         return call.Error(e);
                                     const auto code = RangeByVolts(volts);
                                     if (!code) return call.Error(err::DataOutOfRange);
                                     Apply(call, [&](SettingChange& s) { s.rangeCode = *code; });
                                 },
                                 1));
    c.Add("CONFigure:RANGe?", Board([](Call& call) {
              const int code = adc::RangeCode(Read(call, RegisterMap::AdcControl));
              call.response = FormatNumber(0.02 * (1 << code));
          }));
    c.Add("CONFigure:POLarity",
          Board(
              [](Call& call) {
                  const int which = Choose(call.Param(0), {"BIPolar", "UNIPolar"});
                  if (which < 0) return call.Error(err::IllegalParameterValue);
                  Apply(call, [&](SettingChange& s) { s.unipolar = which == 1; });
              },
              1));
    c.Add("CONFigure:POLarity?", Board([](Call& call) {
              call.response = adc::IsUnipolar(Read(call, RegisterMap::AdcControl)) ? "UNIP" : "BIP";
          }));
    c.Add("CONFigure:RATE", Board(
                                [](Call& call) {
                                    double hz = 0;
                                    if (const int e = ParseHertz(call.Param(0), hz))
                                        return call.Error(e);
                                    const bool chop = ChopEnabledIn(Read(call, RegisterMap::Mode));
                                    const double whole = std::nearbyint(hz);
                                    if (!(whole >= MinRate(chop) && whole <= MaxRate(chop)))
                                        return call.Error(err::DataOutOfRange, RangePrompt(chop));
                                    const int word = kx::NearestFilterWord(hz, chop);
                                    Apply(call, [&](SettingChange& s) { s.filterWord = word; });
                                },
                                1));
    c.Add("CONFigure:RATE?", Board([](Call& call) {
              const int32_t mode = Read(call, RegisterMap::Mode);
              const int32_t word = Read(call, RegisterMap::Filter);
              call.response = FormatNumber(UpdateRate(std::max(word, 1), ChopEnabledIn(mode)));
          }));
    c.Add("CONFigure:FILTer",
          Board(
              [](Call& call) {
                  uint64_t word = 0;
                  if (const int e = ParseHexValue(call.Param(0), 0xFF, word)) return call.Error(e);
                  const bool chop = ChopEnabledIn(Read(call, RegisterMap::Mode));
                  if (static_cast<int>(word) < MinFilterWord(chop))
                      return call.Error(err::DataOutOfRange);
                  Apply(call, [&](SettingChange& s) { s.filterWord = static_cast<int>(word); });
              },
              1));
    c.Add("CONFigure:FILTer?", Board([](Call& call) {
              call.response = FormatHex(static_cast<uint64_t>(Read(call, RegisterMap::Filter)));
          }));
    c.Add("CONFigure:CHOP", Board(
                                [](Call& call) {
                                    bool on = false;
                                    if (const int e = ParseBoolean(call.Param(0), on))
                                        return call.Error(e);
                                    Apply(call, [&](SettingChange& s) { s.chopEnabled = on; });
                                },
                                1));
    c.Add("CONFigure:CHOP?", Board([](Call& call) {
              call.response = ChopEnabledIn(Read(call, RegisterMap::Mode)) ? "1" : "0";
          }));
    c.Add("CONFigure:CHANnel", Board(
                                   [](Call& call) {
                                       const auto code = ChannelByName(call.Param(0));
                                       if (!code) return call.Error(err::IllegalParameterValue);
                                       Apply(call,
                                             [&](SettingChange& s) { s.channelCode = *code; });
                                   },
                                   1));
    c.Add("CONFigure:CHANnel?", Board([](Call& call) {
              const int32_t mode = Read(call, RegisterMap::Mode);
              const int32_t control = Read(call, RegisterMap::AdcControl);
              call.response = ChannelName(adc::ChannelCode(control), control::ChconSet(mode));
          }));
}

void AddRegisters(CommandSet& c) {
    c.Add("REGister:READ?",
          Board(
              [](Call& call) {
                  if (const RegisterInfo* info = RegisterNamed(call, call.Param(0)))
                      call.response = FormatHex(static_cast<uint32_t>(Read(call, *info)));
              },
              1));
    c.Add("REGister:WRITe",
          Board(
              [](Call& call) {
                  const RegisterInfo* info = RegisterNamed(call, call.Param(0));
                  if (!info) return;
                  if (!info->writable())
                      return call.Error(err::IllegalParameterValue,
                                        Unquoted(call.Param(0)) + " is read-only");
                  uint64_t value = 0;
                  const uint64_t max = (uint64_t{1} << info->width) - 1;
                  if (const int e = ParseHexValue(call.Param(1), max, value)) return call.Error(e);
                  const Failure f = call.board->WriteRegister(*info, static_cast<uint32_t>(value));
                  if (!f.empty()) call.Error(err::Hardware, f);
              },
              2));
    c.Add("REGister:ALL?", Board([](Call& call) {
              std::string all;
              for (const auto& r : NamedRegisters) {
                  if (r.info == &RegisterMap::Data) continue;
                  if (!all.empty()) all += ',';
                  all += FormatHex(static_cast<uint32_t>(Read(call, *r.info)));
              }
              call.response = all;
          }));
}

void AddReadings(CommandSet& c) {
    c.Add("READ?", Board(
                       [](Call& call) {
                           int64_t count = 0;
                           if (!TakeCount(call, 1, count)) return;
                           std::vector<int32_t> codes;
                           // Codes read before a time-out are answered too: none is lost.
                           ReadFor(call, count, codes);
                           call.response = CodesResponse(call.session, codes);
                       },
                       1));
    c.Add("MEASure:NOISe?", Board(
                                [](Call& call) {
                                    int64_t count = 0;
                                    if (!TakeCount(call, MinNoiseCodes, count)) return;
                                    std::vector<int32_t> codes;
                                    if (!ReadFor(call, count, codes)) return;
                                    if (codes.size() < MinNoiseCodes)
                                        return call.Error(err::Execution, "read stopped");
                                    const int32_t control = Read(call, RegisterMap::AdcControl);
                                    call.response = NoiseFigures(codes, control);
                                },
                                1));
    c.Add("MEASure:SPECtrum?", Board(
                                   [](Call& call) {
                                       int64_t count = 0;
                                       if (!TakeCount(call, MinSpectrumCodes, count)) return;
                                       std::vector<int32_t> codes;
                                       if (!ReadFor(call, count, codes)) return;
                                       const int32_t control = Read(call, RegisterMap::AdcControl);
                                       const int32_t mode = Read(call, RegisterMap::Mode);
                                       const int32_t filter = Read(call, RegisterMap::Filter);
                                       std::string why;
                                       const auto figures =
                                           SpectrumFigures(codes, control, mode, filter, why);
                                       if (!figures) return call.Error(err::Execution, why);
                                       call.response = *figures;
                                   },
                                   1));
}

void AddCalibration(CommandSet& c) {
    // Internal by default; SYSTem with the zero-scale or full-scale signal on the input.
    auto calibrate = [](int internalCode) {
        return Board(
            [internalCode](Call& call) {
                int code = internalCode;
                if (call.ParamCount() == 1) {
                    const int which = Choose(call.Param(0), {"INTernal", "SYSTem"});
                    if (which < 0) return call.Error(err::IllegalParameterValue);
                    code += 2 * which;
                }
                if (const Failure f = call.board->Calibrate(code); !f.empty())
                    call.Error(err::Hardware, f);
            },
            0, 1);
    };
    c.Add("CALibrate:ZERO", calibrate(4));
    c.Add("CALibrate:FULL", calibrate(5));
}

}  // namespace

void AddInstrumentCommands(CommandSet& c) {
    AddConfigure(c);
    AddRegisters(c);
    AddReadings(c);
    AddCalibration(c);
}

}  // namespace kx::server

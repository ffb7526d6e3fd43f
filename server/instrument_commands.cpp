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

int32_t Read(Call& call, const RegisterInfo& info) {
    return call.board->ReadRegister(info);
}

// The settings written as the rule book checks them: a refusal is -222 in its words, a write
// that did not take -240.
void Apply(Call& call, const ConverterSettings& settings) {
    const ApplyOutcome outcome = call.board->Apply(settings);
    if (outcome.refusal) return call.Error(err::DataOutOfRange, outcome.refusal->Words());
    if (!outcome.failure.empty()) call.Error(err::Hardware, outcome.failure);
}

// A value the rule book's reader refused: -222 in its words.
template <class T>
bool Refused(Call& call, const SettingValue<T>& read) {
    if (read) return false;
    call.Error(err::DataOutOfRange, read.refusal->Words());
    return true;
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
// `setAs`, when given, receives the run as the board was set to take it.
bool ReadFor(Call& call, int64_t count, std::vector<int32_t>& codes, Run* setAs = nullptr) {
    ReadOutcome outcome = call.board->ReadCodes(count, call.stop, codes);
    if (setAs) *setAs = std::move(outcome.setAs);
    if (!outcome.failure.empty()) {
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
                                     const auto code = ReadRange(volts);
                                     if (Refused(call, code)) return;
                                     Apply(call, {.range = code.value});
                                 },
                                 1));
    c.Add("CONFigure:RANGe?", Board([](Call& call) {
              const int code = adc::RangeCode(Read(call, RegisterMap::AdcControl));
              call.response = FormatNumber(RangeVolts(code));
          }));
    c.Add("CONFigure:POLarity", Board(
                                    [](Call& call) {
                                        const auto unipolar = ReadPolarity(Unquoted(call.Param(0)));
                                        if (!unipolar)
                                            return call.Error(err::IllegalParameterValue);
                                        Apply(call, {.unipolar = unipolar.value});
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
                                    const auto rate = ReadRate(hz);
                                    if (Refused(call, rate)) return;
                                    Apply(call, {.rateHz = rate.value});
                                },
                                1));
    c.Add("CONFigure:RATE?", Board([](Call& call) {
              const int32_t mode = Read(call, RegisterMap::Mode);
              const int32_t word = Read(call, RegisterMap::Filter);
              call.response = FormatNumber(UpdateRate(std::max(word, 1), ChopEnabledIn(mode)));
          }));
    c.Add("CONFigure:FILTer", Board(
                                  [](Call& call) {
                                      uint64_t word = 0;
                                      if (const int e = ParseHexValue(call.Param(0), 0xFF, word))
                                          return call.Error(e);
                                      Apply(call, {.filter = static_cast<int>(word)});
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
                                    Apply(call, {.chop = on});
                                },
                                1));
    c.Add("CONFigure:CHOP?", Board([](Call& call) {
              call.response = ChopEnabledIn(Read(call, RegisterMap::Mode)) ? "1" : "0";
          }));
    c.Add("CONFigure:CHANnel", Board(
                                   [](Call& call) {
                                       const auto code = ReadChannel(Unquoted(call.Param(0)));
                                       if (Refused(call, code)) return;
                                       Apply(call, {.channel = code.value});
                                   },
                                   1));
    c.Add("CONFigure:CHANnel?", Board([](Call& call) {
              const int32_t mode = Read(call, RegisterMap::Mode);
              const int32_t control = Read(call, RegisterMap::AdcControl);
              call.response = ChannelName(adc::ChannelCode(control), control::ChconSet(mode));
          }));
    // The reference is no register: the board's scaling, kept by the server for every client.
    c.Add("CONFigure:REFerence", Board(
                                     [](Call& call) {
                                         double volts = 0;
                                         if (const int e = ParseVolts(call.Param(0), volts))
                                             return call.Error(e);
                                         const auto ref = ReadReference(volts);
                                         if (Refused(call, ref)) return;
                                         call.board->SetReference(*ref.value);
                                     },
                                     1));
    c.Add("CONFigure:REFerence?",
          Board([](Call& call) { call.response = FormatNumber(call.board->Reference()); }));
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
                                    Run run;
                                    if (!ReadFor(call, count, codes, &run)) return;
                                    if (codes.size() < MinNoiseCodes)
                                        return call.Error(err::Execution, "read stopped");
                                    run.codes = std::move(codes);
                                    call.response = NoiseFigures(run);
                                },
                                1));
    c.Add("MEASure:SPECtrum?", Board(
                                   [](Call& call) {
                                       int64_t count = 0;
                                       if (!TakeCount(call, MinSpectrumCodes, count)) return;
                                       std::vector<int32_t> codes;
                                       Run run;
                                       if (!ReadFor(call, count, codes, &run)) return;
                                       run.codes = std::move(codes);
                                       std::string why;
                                       const auto figures = SpectrumFigures(run, why);
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

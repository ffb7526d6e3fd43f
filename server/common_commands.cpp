#include "core/version.h"
#include "server/interpreter.h"
#include "server/scpi_values.h"

// The IEEE 488.2 common commands, SYSTem, FORMat and ABORt: what a client asks of the instrument
// itself rather than of the converter.

namespace kx::server {

namespace {

using namespace scpi;

Command Query(std::function<void(Call&)> run, bool board = false) {
    return Command{board, 0, 0, std::move(run)};
}
Command Setting(std::function<void(Call&)> run, size_t params = 0, bool board = false) {
    return Command{board, params, params, std::move(run)};
}

// *ESE and *SRE: a whole number from 0 to 255.
void SetMask(Call& call, int& mask) {
    int64_t value = 0;
    if (const int e = ParseCount(call.Param(0), 0, 255, value)) return call.Error(e);
    mask = static_cast<int>(value);
}

}  // namespace

void AddCommonCommands(CommandSet& c) {
    c.Add("*IDN?", Query([](Call& call) {
              call.response = std::string(IdentityMaker) + "," + IdentityModel + "," + call.serial +
                              "," + VersionString;
          }));
    c.Add("*RST", Setting(
                      [](Call& call) {
                          call.session.form = DataForm::Ascii;
                          call.session.bigEndian = true;
                          if (const Failure f = call.board->Reset(); !f.empty())
                              call.Error(err::Hardware, f);
                      },
                      0, true));
    c.Add("*TST?", Query(
                       [](Call& call) {
                           const bool ok = call.board->Answers();
                           if (!ok) call.Error(err::SelfTestFailed, "no board answers");
                           call.response = ok ? "0" : "1";
                       },
                       true));
    c.Add("*CLS", Setting([](Call& call) {
              call.session.errors.Clear();
              call.session.eventStatus = 0;
          }));
    c.Add("*OPC", Setting([](Call& call) { call.session.eventStatus |= esr::OperationComplete; }));
    // Each command has run whole before the next is read: every operation is complete.
    c.Add("*OPC?", Query([](Call& call) { call.response = "1"; }));
    c.Add("*WAI", Setting([](Call&) {}));
    c.Add("*ESR?", Query([](Call& call) {
              call.response = std::to_string(call.session.eventStatus);
              call.session.eventStatus = 0;
          }));
    c.Add("*ESE", Setting([](Call& call) { SetMask(call, call.session.eventStatusEnable); }, 1));
    c.Add("*ESE?", Query([](Call& call) {
              call.response = std::to_string(call.session.eventStatusEnable);
          }));
    c.Add("*SRE", Setting([](Call& call) { SetMask(call, call.session.serviceEnable); }, 1));
    c.Add("*SRE?",
          Query([](Call& call) { call.response = std::to_string(call.session.serviceEnable); }));
    c.Add("*STB?",
          Query([](Call& call) { call.response = std::to_string(call.session.StatusByte()); }));

    c.Add("SYSTem:ERRor[:NEXT]?",
          Query([](Call& call) { call.response = call.session.errors.Next().Formatted(); }));
    c.Add("SYSTem:ERRor:COUNt?",
          Query([](Call& call) { call.response = std::to_string(call.session.errors.size()); }));
    c.Add("SYSTem:ERRor:ALL?", Query([](Call& call) {
              std::string all = call.session.errors.Next().Formatted();
              while (!call.session.errors.empty())
                  all += "," + call.session.errors.Next().Formatted();
              call.response = all;
          }));
    c.Add("SYSTem:VERSion?", Query([](Call& call) { call.response = "1999.0"; }));
    // Runs only once the board is this client's (or the wait for it ran out: 0).
    Command lock = Query(
        [](Call& call) {
            call.arbiter.Lock(call.session.client);
            call.response = "1";
        },
        true);
    lock.withoutBoard = "0";
    c.Add("SYSTem:LOCK:REQuest?", lock);
    c.Add("SYSTem:LOCK:RELease", Setting([](Call& call) {
              if (!call.arbiter.Unlock(call.session.client))
                  call.Error(err::Execution, "this client holds no lock");
          }));

    c.Add("FORMat[:DATA]",
          Command{false, 1, 2, [](Call& call) {
                      const int form = Choose(call.Param(0), {"ASCii", "INTeger"});
                      if (form < 0) return call.Error(err::IllegalParameterValue);
                      if (call.ParamCount() == 2) {
                          int64_t bits = 0;
                          const int e = ParseCount(call.Param(1), 1, 64, bits);
                          if (e) return call.Error(e);
                          if (form == 0 || bits != 32)
                              return call.Error(err::IllegalParameterValue, "INTeger,32 only");
                      }
                      call.session.form = form == 0 ? DataForm::Ascii : DataForm::Int32;
                  }});
    c.Add("FORMat[:DATA]?", Query([](Call& call) {
              call.response = call.session.form == DataForm::Ascii ? "ASC" : "INT,32";
          }));
    c.Add("FORMat:BORDer", Setting(
                               [](Call& call) {
                                   const int order = Choose(call.Param(0), {"NORMal", "SWAPped"});
                                   if (order < 0) return call.Error(err::IllegalParameterValue);
                                   call.session.bigEndian = order == 0;
                               },
                               1));
    c.Add("FORMat:BORDer?",
          Query([](Call& call) { call.response = call.session.bigEndian ? "NORM" : "SWAP"; }));

    c.Add("ABORt", Setting([](Call& call) { call.arbiter.Abort(call.session.client); }));
}

}  // namespace kx::server

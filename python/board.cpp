#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/board.h"
#include "acquisition/board_options.h"
#include "acquisition/capture.h"
#include "acquisition/named_registers.h"
#include "acquisition/read_run.h"
#include "acquisition/settings.h"
#include "board/registers.h"
#include "board/resets.h"
#include "converter/register_update.h"
#include "core/messages.h"
#include "files/run_file.h"
#include "python/module.h"
#include "python/run.h"
#include "python/settings_args.h"
#include "python/watched.h"

// kx3105.Board: the board opened as kx3105-cli opens it and held by the object until closed. Each
// object holds its own board: several at once in one process (two printer ports, any number of
// simulated boards), a printer port another object holds refused. Board work runs without the
// GIL; a capture or a calibration runs Watched, so that Ctrl-C stops it.

namespace kx::python {

namespace {

// A board option's value as the tool's parser takes it.
std::string OptionText(const py::handle& value) {
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    if (py::isinstance<py::float_>(value)) return py::repr(value);
    if (py::isinstance(value, py::module_::import("os").attr("PathLike")))
        return py::str(py::module_::import("os").attr("fspath")(value));
    return py::str(value);
}

// The values of a repeatable option: one value, a list of them, or (sim_input) a dict of channel
// to volts or (volts, noise_uv).
std::vector<std::string> OptionTexts(const py::handle& value, bool channelDict) {
    std::vector<std::string> texts;
    auto joined = [](const py::handle& items) {
        std::string text;
        for (const auto& item : items)
            text += (text.empty() ? "" : ",") + OptionText(item);
        return text;
    };
    if (channelDict && py::isinstance<py::dict>(value)) {
        for (const auto& [channel, setting] : value.cast<py::dict>())
            texts.push_back(
                OptionText(channel) + "=" +
                (py::isinstance<py::tuple>(setting) ? joined(setting) : OptionText(setting)));
    } else if (py::isinstance<py::list>(value)) {
        for (const auto& item : value)
            for (const std::string& text : OptionTexts(item, false))
                texts.push_back(text);
    } else if (py::isinstance<py::tuple>(value)) {
        // (channel, hz, uv): one tone
        const auto items = value.cast<py::tuple>();
        std::string text = items.size() ? OptionText(items[0]) + "=" : std::string();
        for (size_t i = 1; i < items.size(); ++i)
            text += (i > 1 ? "," : "") + OptionText(items[i]);
        texts.push_back(text);
    } else {
        texts.push_back(OptionText(value));
    }
    return texts;
}

// What the board is set to, named as in a capture's JSON, without a run's reference and start.
nlohmann::json SettingsNow(BoardLink& link) {
    nlohmann::json settings = files::CaptureSettings(RunAsSetNow(link, DefaultReferenceVolts));
    settings.erase("ref");
    settings.erase("started");
    if (settings["rate_hz"] == 0.0) settings["rate_hz"] = nullptr;  // filter word 0 sets none
    return settings;
}

// What each setting takes, from the settings' rule book.
std::string SettingsDoc() {
    std::string doc;
    for (const SettingName& n : SettingNames()) {
        if (n.id == SettingId::Reference) continue;
        doc += std::string(n.key) + ": " + n.what + "; " + AllowedText(n.id) + ".\n";
    }
    return doc +
           "Rates and filter words with chopping off: " + AllowedText(SettingId::Rate, false) +
           ", filter " + AllowedText(SettingId::Filter, false) + ".\n";
}

std::string ConfigureDoc() {
    return "Writes the settings given, each read back, as the tool's options of the same\n"
           "names; a range may be given as its name or its volts, a channel as its name or\n"
           "its code, a filter word as an int or hexadecimal text, chop and buffer as\n"
           "True/False or \"on\"/\"off\"; returns the settings the board then has: channel,\n"
           "range, polarity, rate_hz, filter, chop. ValueError names a value refused.\n\n" +
           SettingsDoc();
}

std::string CaptureDoc() {
    return "Reads count codes (1 to " + std::to_string(MaxCaptureCount) +
           ") as `kx3105-cli capture` does: the settings given first\n"
           "(as for configure), continuous conversion switched on if need be, the results of a\n"
           "filter settling after a write dropped; returns a Run whose times are n / rate.\n"
           "ref: the reference voltage of its volts. The GIL is released meanwhile. Ctrl-C\n"
           "stops it within one poll of the converter and raises KeyboardInterrupt with the\n"
           "codes read so far as its `run`; a time-out raises BoardError \"Error Reading Data\n"
           "from KX3105\" with them.\n\n" +
           SettingsDoc();
}

class PyBoard {
public:
    PyBoard(const std::optional<std::string>& port, bool simulate, const py::object& trace,
            const py::object& simSpeed, const py::object& simSeed, const py::object& simInput,
            const py::object& simTone, const py::object& simFault, const py::object& simState,
            bool boardCheck) {
        BoardOptions options;
        auto apply = [&options](const char* name, const std::string& value) {
            if (const auto refusal = ApplyBoardOption(options, name, value))
                throw py::value_error(InPythonTerms(*refusal));
        };
        if (port) apply("--port", *port);
        if (simulate) apply("--simulate", "");
        if (!trace.is_none()) apply("--trace", OptionText(trace));
        if (!simSpeed.is_none()) apply("--sim-speed", OptionText(simSpeed));
        if (!simSeed.is_none()) apply("--sim-seed", OptionText(simSeed));
        if (!simInput.is_none())
            for (const std::string& text : OptionTexts(simInput, true))
                apply("--sim-input", text);
        if (!simTone.is_none())
            for (const std::string& text : OptionTexts(simTone, false))
                apply("--sim-tone", text);
        if (!simFault.is_none())
            for (const std::string& text : OptionTexts(simFault, false))
                apply("--sim-fault", text);
        if (!simState.is_none()) apply("--sim-state", OptionText(simState));
        if (!boardCheck) apply("--no-board-check", "");
        if (const auto refusal = CheckBoardOptions(options))
            throw py::value_error(InPythonTerms(*refusal));
        std::vector<std::string> notes;
        std::string why;
        {
            py::gil_scoped_release release;
            std::lock_guard lock(mutex_);
            MessageCapture messages;
            board_ = Board::Open(
                options, [&notes](const std::string& line) { notes.push_back(line); }, why);
            if (board_) {
                // A trace that cannot be written says so among the notes: the module prints
                // nothing.
                board_->SetTraceDiagnostics(&traceDiagnostics_);
                description_ = board_->Line();
                simulated_ = board_->simulated();
                board_->FlushTrace();
                board_->link().HandTo(std::thread::id{});
            }
        }
        for (const std::string& line : notes)
            notes_.append(InPythonTerms(OpenedTerms(line)));
        if (!board_) RaiseBoardError(InPythonTerms(OpenedTerms(why)));
        open_ = true;
    }

    ~PyBoard() {
        if (!open_) return;
        std::string why;
        Shut(why);
    }

    void Close() {
        if (!open_) return;
        std::string why;
        bool saved = false;
        {
            py::gil_scoped_release release;
            saved = Shut(why);
        }
        if (!saved) RaiseBoardError(why);
    }

    const std::string& description() const { return description_; }
    bool simulated() const { return simulated_; }
    bool isOpen() const { return open_; }
    const py::list& notes() const { return notes_; }

    py::dict Registers(bool data) {
        std::vector<std::pair<const char*, int32_t>> values;
        Work([&](BoardLink& link) {
            for (const auto& r : NamedRegisters) {
                if (r.info == &RegisterMap::Data && !data) continue;
                Register reg = Register::For(link, *r.info);
                values.emplace_back(r.name, ReadValue(reg));
            }
            return true;
        });
        py::dict out;
        for (const auto& [name, value] : values)
            out[name] = value;
        return out;
    }

    int32_t Read(const std::string& name) {
        const RegisterInfo& info = Named(name);
        int32_t value = 0;
        Work([&](BoardLink& link) {
            Register reg = Register::For(link, info);
            value = ReadValue(reg);
            return true;
        });
        return value;
    }

    void Write(const std::string& name, long long value) {
        const RegisterInfo& info = Named(name);
        if (!info.writable()) throw py::value_error(name + " is read-only");
        const long long max = (1ll << info.width) - 1;
        if (value < 0 || value > max) {
            char hex[32];
            std::snprintf(hex, sizeof hex, value < 0 ? "%lld" : "0x%llX", value);
            throw py::value_error(std::string(hex) + " does not fit the " +
                                  std::to_string(info.width) + "-bit " + name + " register");
        }
        Work([&](BoardLink& link) {
            return WriteAndCheck(link, info, static_cast<uint32_t>(value));
        });
    }

    void Reset(const std::string& kind) {
        if (kind != "hardware" && kind != "software")
            throw py::value_error("reset takes hardware or software, not '" + kind + "'");
        Work([&](BoardLink& link) {
            if (kind == "hardware")
                HardwareReset(link);
            else
                SoftwareReset(link);
            return true;
        });
    }

    void Calibrate(const std::string& kind) {
        const int code = CalibrationCode(kind);
        if (code == 0)
            throw py::value_error(
                "calibrate takes internal-zero, internal-full, system-zero or system-full, not '" +
                kind + "'");
        bool calibrated = false;
        std::vector<Message> messages;
        const auto interruption = Busy([&](std::atomic<bool>& stop) {
            return Watched(*board_, stop, [&] {
                MessageCapture capture;
                calibrated = kx::Calibrate(board_->link(), code);
                messages = std::move(capture.messages);
            });
        });
        if (interruption) interruption->Raise();
        if (!calibrated) RaiseBoardError(Said(messages, "Error Calibrating KX3105"));
    }

    py::object Configure(const ConverterSettings& settings) {
        nlohmann::json now;
        std::optional<SettingRefusal> refusal;
        Work([&](BoardLink& link) {
            const AppliedSettings applied = ApplySettings(link, settings);
            refusal = applied.refusal;
            if (refusal) return true;  // nothing written
            if (!applied.ok) return false;
            now = SettingsNow(link);
            return true;
        });
        if (refusal) RaiseRefusal(*refusal);
        return ToPython(now);
    }

    PyRun Capture(int64_t count, float ref, const ConverterSettings& settings) {
        if (count < 1 || count > MaxCaptureCount)
            throw py::value_error("count must be a whole number from 1 to " +
                                  std::to_string(MaxCaptureCount) + ", not " +
                                  std::to_string(count));
        CaptureRequest request;
        request.count = count;
        request.settings = settings;
        request.settings.referenceVolts = ref;
        Run run;
        std::vector<double> times;
        CaptureOutcome outcome;
        std::vector<Message> messages;
        const auto interruption = Busy([&](std::atomic<bool>& stop) {
            return Watched(*board_, stop, [&] {
                MessageCapture capture;
                const auto begin = [&](const Run& setAs) {
                    run = setAs;
                    run.codes.reserve(static_cast<size_t>(count));
                    times.reserve(static_cast<size_t>(count));
                };
                outcome = kx::Capture(board_->link(), request, stop, begin,
                                      [&](int32_t code, double seconds) {
                                          run.codes.push_back(code);
                                          times.push_back(seconds);
                                          return true;
                                      });
                messages = std::move(capture.messages);
            });
        });
        PyRun taken = PyRun::From(std::move(run), std::move(times));
        if (interruption) interruption->Raise(py::cast(std::move(taken)));
        if (outcome.refusal) RaiseRefusal(*outcome.refusal);
        if (!outcome.programmed) RaiseBoardError(Said(messages, "Error Programming KX3105"));
        if (outcome.end == ReadEnd::TimedOut)
            RaiseBoardError(run::ReadErrorMessage, py::cast(std::move(taken)));
        return taken;
    }

private:
    static const RegisterInfo& Named(const std::string& name) {
        if (const RegisterInfo* info = FindRegister(name)) return *info;
        throw py::value_error(UnknownRegister(name));
    }

    static std::string Said(const std::vector<Message>& messages, const char* otherwise) {
        return messages.empty() ? otherwise : messages.back().text;
    }

    void CheckOpen() const {
        if (!open_) RaiseBoardError("the board is closed");
    }

    // Short board work on this thread, without the GIL, owning the board's link; `work` says
    // whether it succeeded, and a failure raises BoardError with the message it showed.
    void Work(const std::function<bool(BoardLink&)>& work) {
        CheckOpen();
        bool ok = false;
        std::vector<Message> messages;
        {
            py::gil_scoped_release release;
            std::lock_guard lock(mutex_);
            BoardLink& link = board_->link();
            link.HandTo(std::this_thread::get_id());
            MessageCapture capture;
            ok = work(link);
            board_->FlushTrace();
            link.HandTo(std::thread::id{});
            messages = std::move(capture.messages);
        }
        NoteTraceTrouble();
        if (!ok) RaiseBoardError(Said(messages, "Error Programming KX3105"));
    }

    // Long board work (Watched), the board held for it; its stop flag fresh.
    std::unique_ptr<Interruption> Busy(
        const std::function<std::unique_ptr<Interruption>(std::atomic<bool>&)>& work) {
        CheckOpen();
        std::unique_lock lock(mutex_, std::defer_lock);
        {
            py::gil_scoped_release release;
            lock.lock();
        }
        std::atomic<bool> stop{false};
        auto interruption = work(stop);
        NoteTraceTrouble();
        return interruption;
    }

    void NoteTraceTrouble() {
        traceDiagnostics_.str({});
        BoardLink& link = board_->link();
        link.HandTo(std::this_thread::get_id());
        const std::string warning = board_->TakeTraceWarning();
        link.HandTo(std::thread::id{});
        if (!warning.empty()) notes_.append(warning);
    }

    bool Shut(std::string& why) {
        std::lock_guard lock(mutex_);
        board_->link().HandTo(std::this_thread::get_id());
        const bool saved = board_->Close(why);
        open_ = false;
        return saved;
    }

    // How to close the board that holds a port, in Python's terms.
    static std::string OpenedTerms(const std::string& why) {
        const std::string held = "held by another board of this process: close that board first";
        if (why.size() < held.size() || why.compare(why.size() - held.size(), held.size(), held))
            return why;
        return why.substr(0, why.size() - held.size()) +
               "held by another kx3105.Board of this process: close that one first (its close(), "
               "or the end of its with block)";
    }

    std::unique_ptr<Board> board_;
    std::ostringstream traceDiagnostics_;
    std::mutex mutex_;
    bool open_ = false;
    bool simulated_ = false;
    std::string description_;
    py::list notes_;
};

}  // namespace

void AddBoard(py::module_& m) {
    py::class_<PyBoard>(m, "Board",
                        "The KX3105 board, opened as kx3105-cli opens it: the printer port named\n"
                        "by port, else /dev/parport0; the simulated board only when asked for\n"
                        "(simulate=True or any sim_ keyword), never as a fall-back. Each keyword\n"
                        "is the tool's option of that name (sim_speed=\"realtime\" is --sim-speed\n"
                        "realtime). A context manager: the port is released on leaving it, or\n"
                        "by close(). Each Board holds a board of its own: several may be open at\n"
                        "once, but not two on one printer port.")
        .def(py::init<const std::optional<std::string>&, bool, const py::object&, const py::object&,
                      const py::object&, const py::object&, const py::object&, const py::object&,
                      const py::object&, bool>(),
             py::arg("port") = py::none(), py::arg("simulate") = false,
             py::arg("trace") = py::none(), py::kw_only(), py::arg("sim_speed") = py::none(),
             py::arg("sim_seed") = py::none(), py::arg("sim_input") = py::none(),
             py::arg("sim_tone") = py::none(), py::arg("sim_fault") = py::none(),
             py::arg("sim_state") = py::none(), py::arg("board_check") = true,
             "port: a printer-port device (/dev/parport1). simulate: the simulated board.\n"
             "trace: a file that records every port access. sim_speed: \"fast\" (the default)\n"
             "or \"realtime\". sim_seed: the noise seed. sim_input: {channel: volts or (volts,\n"
             "noise_uv)} or \"CH=VOLTS[,NOISE_UV]\" texts. sim_tone: (channel, hz, uv) or\n"
             "\"CH=HZ,UV\", or a list of them. sim_fault: \"ready-stuck\", \"ignore-writes\",\n"
             "\"no-board\" (\"NAME@N\": after N results), or a list. sim_state: a file keeping\n"
             "the simulated board's registers between runs. board_check: check that a board\n"
             "answers. BoardError when the board cannot be opened, ValueError for a bad keyword.")
        .def("__enter__", [](PyBoard& b) -> PyBoard& { return b; })
        .def("__exit__", [](PyBoard& b, const py::args&) { b.Close(); })
        .def("close", &PyBoard::Close,
             "Releases the port (the simulated board's state saved to sim_state); again: nothing.")
        .def_property_readonly("description", &PyBoard::description,
                               "Which board this is and where: \"Board: simulated KX3105 board at "
                               "0x378\".")
        .def_property_readonly("simulated", &PyBoard::simulated, "True for the simulated board.")
        .def_property_readonly(
            "closed", [](const PyBoard& b) { return !b.isOpen(); },
            "True once the port is released.")
        .def_property_readonly("notes", &PyBoard::notes,
                               "The port's own notes while opening (why it could not be claimed).")
        .def("registers", &PyBoard::Registers, py::kw_only(), py::arg("data") = false,
             "Every readable register by the tool's names (status, mode, adc-control, filter,\n"
             "offset, gain, io-control; data too with data=True) and its value.")
        .def("read", &PyBoard::Read, py::arg("name"), "One register's value.")
        .def("write", &PyBoard::Write, py::arg("name"), py::arg("value"),
             "Writes a register and reads it back: BoardError \"Error Programming KX3105\" when\n"
             "it reads back otherwise.")
        .def("reset", &PyBoard::Reset, py::arg("kind"),
             "\"hardware\" pulses the reset line; \"software\" sends 32 ones on the serial link.")
        .def("calibrate", &PyBoard::Calibrate, py::arg("kind"),
             "An on-chip calibration (internal-zero, internal-full, system-zero, system-full),\n"
             "waited for: BoardError \"Error Calibrating KX3105\" when it does not end.")
        .def(
            "configure",
            [](PyBoard& b, const py::object& channel, const py::object& range,
               const py::object& polarity, const py::object& rate, const py::object& filter,
               const py::object& chop, const py::object& buffer) {
                return b.Configure(
                    SettingsOf({channel, range, polarity, rate, filter, chop, buffer}));
            },
            py::kw_only(), py::arg("channel") = py::none(), py::arg("range") = py::none(),
            py::arg("polarity") = py::none(), py::arg("rate") = py::none(),
            py::arg("filter") = py::none(), py::arg("chop") = py::none(),
            py::arg("buffer") = py::none(), ConfigureDoc().c_str())
        .def(
            "capture",
            [](PyBoard& b, int64_t count, const py::object& ref, const py::object& channel,
               const py::object& range, const py::object& polarity, const py::object& rate,
               const py::object& filter, const py::object& chop, const py::object& buffer) {
                return b.Capture(
                    count, ReferenceOf(ref),
                    SettingsOf({channel, range, polarity, rate, filter, chop, buffer}));
            },
            py::arg("count"), py::kw_only(), py::arg("ref") = DefaultReferenceVolts,
            py::arg("channel") = py::none(), py::arg("range") = py::none(),
            py::arg("polarity") = py::none(), py::arg("rate") = py::none(),
            py::arg("filter") = py::none(), py::arg("chop") = py::none(),
            py::arg("buffer") = py::none(), CaptureDoc().c_str());
}

}  // namespace kx::python

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
#include "acquisition/named_registers.h"
#include "acquisition/read_codes.h"
#include "acquisition/settings.h"
#include "acquisition/read_run.h"
#include "board/port.h"
#include "board/port_trace.h"
#include "board/registers.h"
#include "board/resets.h"
#include "converter/register_update.h"
#include "core/messages.h"
#include "files/run_file.h"
#include "python/module.h"
#include "python/run.h"
#include "python/watched.h"

// kx3105.Board: the board opened as kx3105-cli opens it, kept open until closed. The port layer's
// globals belong to the process, so one board is open at a time. Board work runs without the GIL;
// a capture or a calibration runs Watched, so that Ctrl-C stops it.

namespace kx::python {

namespace {

constexpr int64_t MaxCaptureCount = 10'000'000;

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
nlohmann::json SettingsNow() {
    nlohmann::json settings = files::CaptureSettings(RunAsSetNow(DefaultReferenceVolts));
    settings.erase("ref");
    settings.erase("started");
    if (settings["rate_hz"] == 0.0) settings["rate_hz"] = nullptr;  // filter word 0 sets none
    return settings;
}

Settings NamedSettings(const std::optional<std::string>& channel,
                       const std::optional<std::string>& range,
                       const std::optional<std::string>& polarity, const py::object& rate,
                       const py::object& filter, const py::object& chop) {
    Settings s;
    s.channel = channel;
    s.range = range;
    s.polarity = polarity;
    if (!rate.is_none()) s.rate = OptionText(rate);
    if (!filter.is_none()) {
        if (py::isinstance<py::int_>(filter)) {
            const auto word = filter.cast<long long>();
            if (word < 0 || word > 0xFF)
                throw py::value_error("filter takes a byte, 0 to 255, not " + std::to_string(word));
            char hex[8];
            std::snprintf(hex, sizeof hex, "%llX", word);
            s.filter = hex;
        } else {
            s.filter = OptionText(filter);
        }
    }
    if (py::isinstance<py::bool_>(chop))
        s.chop = chop.cast<bool>() ? "on" : "off";
    else if (!chop.is_none())
        s.chop = OptionText(chop);
    if (const auto refusal = s.Refusal()) throw py::value_error(InPythonTerms(*refusal));
    return s;
}

float ReferenceArgument(double ref) {
    // As the tool reads --ref: the number's shortest text, rounded to two decimals.
    const std::string text = py::repr(py::float_(ref));
    const auto volts = run::ParseReference(text);
    if (!volts || !(*volts > 0))
        throw py::value_error("ref takes a positive number of volts, not " + text);
    return *volts;
}

class PyBoard;
PyBoard* openBoard = nullptr;

// A trace that cannot be written says so here rather than on standard error: the module prints
// nothing. The warning it leaves becomes one of the board's notes.
std::ostringstream traceDiagnostics;

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
        SetPortTraceDiagnostics(&traceDiagnostics);
        if (openBoard)
            RaiseBoardError(
                "a board is open already in this process (one at a time): close it first");

        std::vector<std::string> notes;
        std::string why;
        bool opened = false;
        {
            py::gil_scoped_release release;
            std::lock_guard lock(mutex_);
            HandPortTo(std::this_thread::get_id());
            MessageCapture messages;
            opened = session_.Open(
                options, [&notes](const std::string& line) { notes.push_back(line); }, why);
            if (opened) {
                description_ = BoardLine(session_.board());
                simulated_ = session_.board().simulated;
                FlushPortTrace();
            }
            HandPortTo(std::thread::id{});
        }
        for (const std::string& line : notes)
            notes_.append(InPythonTerms(line));
        if (!opened) RaiseBoardError(InPythonTerms(why));
        open_ = true;
        openBoard = this;
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
        Work([&] {
            for (const auto& r : NamedRegisters) {
                if (r.info == &RegisterMap::Data && !data) continue;
                Register reg = Register::For(*r.info);
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
        Work([&] {
            Register reg = Register::For(info);
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
        Work([&] { return WriteAndCheck(info, static_cast<uint32_t>(value)); });
    }

    void Reset(const std::string& kind) {
        if (kind != "hardware" && kind != "software")
            throw py::value_error("reset takes hardware or software, not '" + kind + "'");
        Work([&] {
            if (kind == "hardware")
                HardwareReset();
            else
                SoftwareReset();
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
            return Watched(stop, [&] {
                MessageCapture capture;
                calibrated = kx::Calibrate(code);
                messages = std::move(capture.messages);
            });
        });
        if (interruption) interruption->Raise();
        if (!calibrated) RaiseBoardError(Said(messages, "Error Calibrating KX3105"));
    }

    py::object Configure(const Settings& settings) {
        nlohmann::json now;
        std::optional<std::string> refusal;
        Work([&] {
            const Settings::Applied applied = settings.Apply();
            refusal = applied.refusal;
            if (refusal) return true;  // nothing written
            if (!applied.ok) return false;
            now = SettingsNow();
            return true;
        });
        if (refusal) throw py::value_error(InPythonTerms(*refusal));
        return ToPython(now);
    }

    PyRun Capture(int64_t count, double ref, const Settings& settings) {
        if (count < 1 || count > MaxCaptureCount)
            throw py::value_error("count must be a whole number from 1 to 10000000, not " +
                                  std::to_string(count));
        const float volts = ReferenceArgument(ref);
        Run run;
        std::vector<double> times;
        bool applied = true;
        std::optional<std::string> refusal;
        ReadResult read;
        std::vector<Message> messages;
        const Board& board = session_.board();
        const auto interruption = Busy([&](std::atomic<bool>& stop) {
            return Watched(stop, [&] {
                MessageCapture capture;
                const Settings::Applied outcome = settings.Apply();
                applied = outcome.ok;
                refusal = outcome.refusal;
                messages = std::move(capture.messages);
                if (!applied) return;
                run = RunAsSetNow(volts);
                run.codes.reserve(static_cast<size_t>(count));
                times.reserve(static_cast<size_t>(count));
                // Seconds on the converter's clock for the simulated board (its fast pace has
                // nothing to do with the wall clock), else on the machine's.
                const auto start = std::chrono::steady_clock::now();
                auto now = [&] {
                    if (const auto converter = board.converterSeconds()) return *converter;
                    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                        .count();
                };
                double first = 0;
                read = ReadCodes(count, {.continuous = true}, stop, [&](int32_t code) {
                    const double t = now();
                    if (run.codes.empty()) first = t;
                    run.codes.push_back(code);
                    times.push_back(t - first);
                    return true;
                });
            });
        });
        PyRun taken = PyRun::From(std::move(run), std::move(times));
        if (interruption) interruption->Raise(py::cast(std::move(taken)));
        if (refusal) throw py::value_error(InPythonTerms(*refusal));
        if (!applied) RaiseBoardError(Said(messages, "Error Programming KX3105"));
        if (read.end == ReadEnd::TimedOut)
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

    // Short board work on this thread, without the GIL, owning the port; `work` says whether it
    // succeeded, and a failure raises BoardError with the message it showed.
    void Work(const std::function<bool()>& work) {
        CheckOpen();
        bool ok = false;
        std::vector<Message> messages;
        {
            py::gil_scoped_release release;
            std::lock_guard lock(mutex_);
            HandPortTo(std::this_thread::get_id());
            MessageCapture capture;
            ok = work();
            FlushPortTrace();
            HandPortTo(std::thread::id{});
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
        traceDiagnostics.str({});
        if (const std::string warning = TakePortTraceWarning(); !warning.empty())
            notes_.append(warning);
    }

    bool Shut(std::string& why) {
        std::lock_guard lock(mutex_);
        HandPortTo(std::this_thread::get_id());
        const bool saved = session_.Close(why);
        HandPortTo(std::thread::id{});
        open_ = false;
        if (openBoard == this) openBoard = nullptr;
        return saved;
    }

    BoardSession session_;
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
                        "by close(). One board is open at a time in a process.")
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
            [](PyBoard& b, const std::optional<std::string>& channel,
               const std::optional<std::string>& range, const std::optional<std::string>& polarity,
               const py::object& rate, const py::object& filter, const py::object& chop) {
                return b.Configure(NamedSettings(channel, range, polarity, rate, filter, chop));
            },
            py::kw_only(), py::arg("channel") = py::none(), py::arg("range") = py::none(),
            py::arg("polarity") = py::none(), py::arg("rate") = py::none(),
            py::arg("filter") = py::none(), py::arg("chop") = py::none(),
            "Writes the settings given, each read back, as the tool's --channel "
            "(\"AIN1-AINCOM\"),\n"
            "--range (\"20mV\" ... \"2.56V\"), --polarity (\"bipolar\", \"unipolar\"), --rate\n"
            "(hertz: the filter word that gives the nearest rate), --filter (the word, an int or\n"
            "hexadecimal text) and --chop (True/False or \"on\"/\"off\"); returns the settings\n"
            "the board then has: channel, range, polarity, rate_hz, filter, chop.")
        .def(
            "capture",
            [](PyBoard& b, int64_t count, double ref, const std::optional<std::string>& channel,
               const std::optional<std::string>& range, const std::optional<std::string>& polarity,
               const py::object& rate, const py::object& filter, const py::object& chop) {
                return b.Capture(count, ref,
                                 NamedSettings(channel, range, polarity, rate, filter, chop));
            },
            py::arg("count"), py::kw_only(), py::arg("ref") = DefaultReferenceVolts,
            py::arg("channel") = py::none(), py::arg("range") = py::none(),
            py::arg("polarity") = py::none(), py::arg("rate") = py::none(),
            py::arg("filter") = py::none(), py::arg("chop") = py::none(),
            "Reads count codes (1 to 10000000) as `kx3105-cli capture` does: the settings given\n"
            "first (as for configure), continuous conversion switched on if need be; returns a\n"
            "Run. ref: the reference voltage of its volts. The GIL is released meanwhile. Ctrl-C\n"
            "stops it within one poll of the converter and raises KeyboardInterrupt with the\n"
            "codes read so far as its `run`; a time-out raises BoardError \"Error Reading Data\n"
            "from KX3105\" with them.");
}

}  // namespace kx::python

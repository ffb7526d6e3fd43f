#include "python/module.h"

#include <cctype>
#include <nlohmann/json.hpp>
#include <string_view>

#include "acquisition/board_options.h"

#include "core/version.h"

// kx3105: the board, its runs as numpy arrays and the analysis, for notebooks and test scripts.

namespace kx::python {

namespace {

// Kept to the end of the process: the interpreter may be gone before static destructors run.
PyObject* boardErrorType = nullptr;

}  // namespace

void RaiseBoardError(const std::string& message, py::object run) {
    py::object error = py::reinterpret_borrow<py::object>(boardErrorType)(message);
    error.attr("run") = std::move(run);
    PyErr_SetObject(boardErrorType, error.ptr());
    throw py::error_already_set();
}

std::string InPythonTerms(const std::string& message) {
    auto optionChar = [](char c) {
        return std::islower(static_cast<unsigned char>(c)) ||
               std::isdigit(static_cast<unsigned char>(c)) || c == '-';
    };
    std::string out;
    for (size_t i = 0; i < message.size();) {
        const bool starts = message.compare(i, 2, "--") == 0 && i + 2 < message.size() &&
                            std::islower(static_cast<unsigned char>(message[i + 2])) &&
                            (i == 0 || !optionChar(message[i - 1]));
        if (!starts) {
            out += message[i++];
            continue;
        }
        size_t end = i + 2;
        while (end < message.size() && optionChar(message[end]))
            ++end;
        const std::string_view option(message.data() + i, end - i);
        std::string keyword(option.substr(2));
        for (char& c : keyword)
            if (c == '-') c = '_';
        if (keyword == "no_board_check") {
            keyword = "board_check=False";
        } else {
            for (const BoardOptionText& known : BoardOptionTable())
                if (option == known.name && !known.value) keyword += "=True";
        }
        out += keyword;
        i = end;
    }
    return out;
}

py::object ToPython(const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::object: {
            py::dict dict;
            for (const auto& [key, item] : value.items())
                dict[py::str(key)] = ToPython(item);
            return dict;
        }
        case nlohmann::json::value_t::array: {
            py::list list;
            for (const auto& item : value)
                list.append(ToPython(item));
            return list;
        }
        case nlohmann::json::value_t::string:
            return py::str(value.get_ref<const std::string&>());
        case nlohmann::json::value_t::boolean:
            return py::bool_(value.get<bool>());
        case nlohmann::json::value_t::number_integer:
            return py::int_(value.get<int64_t>());
        case nlohmann::json::value_t::number_unsigned:
            return py::int_(value.get<uint64_t>());
        case nlohmann::json::value_t::number_float:
            return py::float_(value.get<double>());
        default:
            return py::none();
    }
}

}  // namespace kx::python

PYBIND11_MODULE(kx3105, m) {
    namespace py = pybind11;
    using namespace kx::python;
    m.doc() =
        "The KX3105 evaluation board from Python: open the board as kx3105-cli does, program it,\n"
        "capture runs of codes straight into numpy arrays, and analyse them with the tool's own\n"
        "figures. Errors are BoardError (the board and files) or ValueError (bad arguments), with\n"
        "the tool's messages; nothing is printed.";
    m.attr("__version__") = kx::VersionString;

    boardErrorType = PyErr_NewExceptionWithDoc(
        "kx3105.BoardError",
        "The board or a file failed; the message is kx3105-cli's. `run` holds the codes a failed\n"
        "capture read before it failed (else None).",
        PyExc_Exception, nullptr);
    if (!boardErrorType) throw py::error_already_set();
    py::handle(boardErrorType).attr("run") = py::none();
    m.add_object("BoardError", py::handle(boardErrorType));
    AddRun(m);
    AddAnalysis(m);
    AddBoard(m);
}

#include "python/settings_args.h"

#include <string>

namespace kx::python {

namespace {

template <class T>
T Taken(const SettingValue<T>& read) {
    if (!read) RaiseRefusal(*read.refusal);
    return *read.value;
}

bool IsNumber(const py::handle& value) {
    return (py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value)) &&
           !py::isinstance<py::bool_>(value);
}

[[noreturn]] void WrongType(SettingId id, const py::handle& value, const char* takes) {
    throw py::type_error(std::string(NameOf(id).key) + " takes " + takes + ", not " +
                         std::string(py::str(py::type::of(value).attr("__name__"))));
}

std::string Text(SettingId id, const py::handle& value, const char* takes) {
    if (!py::isinstance<py::str>(value)) WrongType(id, value, takes);
    return value.cast<std::string>();
}

bool Switch(SettingId id, const py::handle& value) {
    if (py::isinstance<py::bool_>(value)) return value.cast<bool>();
    return Taken(ReadSwitch(id, Text(id, value, "True, False, \"on\" or \"off\"")));
}

}  // namespace

void RaiseRefusal(const SettingRefusal& refusal) {
    throw py::value_error(refusal.Words());
}

ConverterSettings SettingsOf(const SettingArgs& a) {
    ConverterSettings s;
    if (!a.channel.is_none())
        s.channel = py::isinstance<py::int_>(a.channel) && !py::isinstance<py::bool_>(a.channel)
                        ? Taken(ReadChannel(a.channel.cast<long long>()))
                        : Taken(ReadChannel(
                              Text(SettingId::Channel, a.channel, "a channel's name or its code")));
    if (!a.range.is_none())
        s.range =
            IsNumber(a.range)
                ? Taken(ReadRange(a.range.cast<double>()))
                : Taken(ReadRange(Text(SettingId::Range, a.range, "a range's name or its volts")));
    if (!a.polarity.is_none())
        s.unipolar = Taken(
            ReadPolarity(Text(SettingId::Polarity, a.polarity, "\"bipolar\" or \"unipolar\"")));
    if (!a.rate.is_none())
        s.rateHz = IsNumber(a.rate)
                       ? Taken(ReadRate(a.rate.cast<double>()))
                       : Taken(ReadRate(Text(SettingId::Rate, a.rate, "a number of hertz")));
    if (!a.filter.is_none())
        s.filter = py::isinstance<py::int_>(a.filter) && !py::isinstance<py::bool_>(a.filter)
                       ? Taken(ReadFilter(a.filter.cast<long long>()))
                       : Taken(ReadFilter(
                             Text(SettingId::Filter, a.filter, "a filter word (int or hex text)")));
    if (!a.chop.is_none()) s.chop = Switch(SettingId::Chop, a.chop);
    if (!a.buffer.is_none()) s.buffer = Switch(SettingId::Buffer, a.buffer);
    return s;
}

float ReferenceOf(const py::handle& ref) {
    if (!IsNumber(ref)) WrongType(SettingId::Reference, ref, "a number of volts");
    return Taken(ReadReference(ref.cast<double>()));
}

}  // namespace kx::python

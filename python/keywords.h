#pragma once

// What the bindings take from Python: keywords turned into zyr-sim's options
// by zyr-sim's own option table, the keywords' help, and the checks of paths,
// triples and arrays, each refusal a TypeError or ValueError that names the
// argument.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <array>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "run/options.h"

// pybind11 knows a bound class by its C++ type in every module of the process,
// so the module's own names keep to a namespace of their own.
namespace zyr_python {

[[noreturn]] void raise(PyObject* type, const std::string& message);

// The Python type's name of a value, for messages.
std::string typeName(pybind11::handle value);

// Keywords with their values as given; None leaves an option unset.
using Keywords = std::vector<std::pair<const char*, pybind11::object>>;

// The options that the keywords give, as zyr-sim gives those of the same
// names (underscores for dashes).
SimOptions optionsOf(const Keywords& keywords);

// A True/False keyword: the flag option is applied when the value is flagWhen.
void applyFlag(SimOptions& options, const std::string& keyword, pybind11::handle value, bool flagWhen,
               const char* option);

// The picture size, (width, height) or zyr-sim's "WIDTHxHEIGHT".
void applySize(SimOptions& options, const pybind11::object& size);

// The lines of a docstring that describe keywords, from zyr-sim's help of
// the options of the same names, wrapped to 80 columns.
std::string keywordHelp(std::initializer_list<const char*> keywords);

std::string pathOf(const pybind11::object& path, const char* keyword,
                   const char* expected = "a file name (str or os.PathLike)");

std::array<double, 3> tripleOf(const pybind11::object& value, const char* keyword);

// Numbers as a C-ordered float64 array of the given shape (-1: any length),
// refused when they are not numbers, have another shape or are not finite.
pybind11::array_t<double> realArray(const pybind11::object& value, const char* keyword,
                                    const std::vector<pybind11::ssize_t>& shape);

}  // namespace zyr_python

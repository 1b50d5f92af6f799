#include "python/keywords.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "model/galaxy.h"
#include "model/word_wrap.h"

namespace py = pybind11;

namespace zyr_python {

void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

std::string typeName(py::handle value) { return py::str(py::type::handle_of(value).attr("__name__")); }

namespace {

// The text zyr-sim would be given for a keyword's value: a name for options
// that take one of a list, a number otherwise. Values of the wrong type are
// refused here, wrong values by the option table.
std::string optionText(const std::string& keyword, const std::string& option, py::handle value) {
    const std::string choices = optionChoices(option);
    if (!choices.empty()) {
        if (!py::isinstance<py::str>(value))
            raise(PyExc_TypeError, keyword + " must be one of " + choices + ", not " + typeName(value));
        return value.cast<std::string>();
    }
    if (PyBool_Check(value.ptr()) || (!PyIndex_Check(value.ptr()) && !PyFloat_Check(value.ptr())))
        raise(PyExc_TypeError, keyword + " must be a number, not " + typeName(value));
    // repr of a float is the shortest text that reads back as the same double.
    if (PyFloat_Check(value.ptr())) return py::repr(py::float_(PyFloat_AsDouble(value.ptr())));
    return py::str(py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr())));
}

std::string optionName(std::string keyword) {
    for (char& c : keyword)
        if (c == '_') c = '-';
    return keyword;
}

// Applies a keyword as zyr-sim applies the option of the same name.
void applyKeyword(SimOptions& options, const std::string& keyword, py::handle value) {
    const std::string option = optionName(keyword);
    const std::string text = optionText(keyword, option, value);
    if (const std::string why = applyOption(options, option, text); !why.empty())
        raise(PyExc_ValueError, keyword + "=" + std::string(py::repr(value)) + ": " + why);
}

std::string shapeText(const std::vector<py::ssize_t>& shape) {
    std::string text = "(";
    for (std::size_t k = 0; k < shape.size(); ++k)
        text += (k ? ", " : "") + (shape[k] < 0 ? std::string("N") : std::to_string(shape[k]));
    return text + (shape.size() == 1 ? ",)" : ")");
}

}  // namespace

SimOptions optionsOf(const Keywords& keywords) {
    SimOptions options;
    for (const auto& [keyword, value] : keywords)
        if (!value.is_none()) applyKeyword(options, keyword, value);
    return options;
}

void applyFlag(SimOptions& options, const std::string& keyword, py::handle value, bool flagWhen, const char* option) {
    if (!PyBool_Check(value.ptr())) raise(PyExc_TypeError, keyword + " must be True or False, not " + typeName(value));
    if (value.cast<bool>() == flagWhen) applyOption(options, option, {});
}

void applySize(SimOptions& options, const py::object& size) {
    const std::string what = "size must be (width, height) in pixels, two whole numbers";
    std::string text;
    if (py::isinstance<py::str>(size)) {
        text = size.cast<std::string>();
    } else {
        if (!py::isinstance<py::sequence>(size)) raise(PyExc_TypeError, what);
        const auto sides = size.cast<py::sequence>();
        if (sides.size() != 2) raise(PyExc_ValueError, what);
        for (std::size_t k = 0; k < 2; ++k) {
            const py::object side = sides[k];
            if (PyBool_Check(side.ptr()) || !PyIndex_Check(side.ptr())) raise(PyExc_TypeError, what);
            text += (k ? "x" : "") + std::string(py::str(py::int_(side)));
        }
    }
    if (const std::string why = applyOption(options, "size", text); !why.empty())
        raise(PyExc_ValueError, "size=" + std::string(py::repr(size)) + ": " + why);
}

std::string keywordHelp(std::initializer_list<const char*> keywords) {
    const CGalaxy defaults;
    std::string text;
    for (const char* keyword : keywords)
        text += wrapped(optionSummary(optionName(keyword), defaults), std::string(keyword) + ": ", "    ", 80);
    return text;
}

std::string pathOf(const py::object& path, const char* keyword, const char* expected) {
    if (!py::isinstance<py::str>(path) && !py::hasattr(path, "__fspath__"))
        raise(PyExc_TypeError, std::string(keyword) + " must be " + expected + ", not " + typeName(path));
    const py::object text = py::module_::import("os").attr("fspath")(path);
    if (!py::isinstance<py::str>(text))
        raise(PyExc_TypeError, std::string(keyword) + " must be a file name as text, not " + typeName(text));
    return text.cast<std::string>();
}

std::array<double, 3> tripleOf(const py::object& value, const char* keyword) {
    const std::string what = std::string(keyword) + " must be three finite numbers (x, y, z)";
    if (py::isinstance<py::str>(value) || !py::isinstance<py::sequence>(value)) raise(PyExc_TypeError, what);
    const auto items = value.cast<py::sequence>();
    if (items.size() != 3) raise(PyExc_ValueError, what + ", not " + std::to_string(items.size()) + " values");
    std::array<double, 3> triple{};
    for (std::size_t k = 0; k < 3; ++k) {
        const py::object item = items[k];
        if (PyBool_Check(item.ptr()) || (!PyIndex_Check(item.ptr()) && !PyFloat_Check(item.ptr())))
            raise(PyExc_TypeError, what + ", not " + typeName(item));
        triple[k] = py::float_(item).cast<double>();
        if (!std::isfinite(triple[k])) raise(PyExc_ValueError, what);
    }
    return triple;
}

py::array_t<double> realArray(const py::object& value, const char* keyword, const std::vector<py::ssize_t>& shape) {
    using Reals = py::array_t<double, py::array::c_style | py::array::forcecast>;
    const auto refuse = [&] {
        raise(PyExc_TypeError, std::string(keyword) + " must be an array of numbers, not " + typeName(value));
    };
    if (py::isinstance<py::str>(value)) refuse();  // numpy would read a text as a number
    const Reals array = Reals::ensure(value);
    if (!array) refuse();
    const std::vector<py::ssize_t> got(array.shape(), array.shape() + array.ndim());
    bool fits = got.size() == shape.size();
    for (std::size_t k = 0; fits && k < shape.size(); ++k) fits = shape[k] < 0 || got[k] == shape[k];
    if (!fits)
        raise(PyExc_ValueError,
              std::string(keyword) + " must have the shape " + shapeText(shape) + ", not " + shapeText(got));
    const double* data = array.data();
    for (py::ssize_t i = 0; i < array.size(); ++i)
        if (!std::isfinite(data[i]))
            raise(PyExc_ValueError, std::string(keyword) + " must be finite: element " + std::to_string(i) + " is " +
                                        std::string(py::repr(py::float_(data[i]))));
    return array;
}

}  // namespace zyr_python

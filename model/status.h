#pragma once

// How the core says that something could not be done. It never prints: a
// function that may fail gives a Status (ok, or a code to act on and a
// sentence for the user), or a Result where a value comes back (the value, or
// the Status that says why there is none). The programs turn them into their
// own output: zyr-sim into standard error and its exit status, the Python
// module into exceptions, the desktop program into message boxes.

#include <optional>
#include <string>
#include <utility>

// Error is an enumeration whose value-initialised member (0) means success.
template <class Error>
struct Status {
    Error error{};
    std::string message;  // empty on success, a sentence for the user otherwise
    // On success, something the user should still hear of (a damaged file
    // that could be read, say). A sentence.
    std::string warning;

    bool ok() const { return error == Error{}; }
    static Status failure(Error error, std::string message) { return {error, std::move(message), {}}; }
};

template <class T, class Error>
struct Result {
    std::optional<T> value;  // set exactly when status is ok
    Status<Error> status;

    Result(T v) : value(std::move(v)) {}  // implicit: a value is a success
    Result(Status<Error> failed) : status(std::move(failed)) {}
    bool ok() const { return value.has_value(); }
};

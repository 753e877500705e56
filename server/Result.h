#pragma once
// Failures as values: a Failure names the file and line it concerns (line 0: the whole file or none) and
// says what is wrong; Result<T> holds either a value or a Failure.

#include <string>
#include <utility>
#include <variant>

namespace station {

struct Failure {
    std::string file; // empty when no file is concerned
    int line = 0;     // 1-based; 0 when no particular line
    std::string message;

    // "file:line: message", "file: message" or "message".
    std::string Text() const {
        std::string text;
        if (!file.empty()) {
            text = file;
            if (line > 0)
                text += ":" + std::to_string(line);
            text += ": ";
        }
        return text + message;
    }
};

template <typename T> class Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Failure failure) : state_(std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Failure& failure() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};

// For operations that produce nothing but may fail.
struct Done {};
using Status = Result<Done>;

} // namespace station

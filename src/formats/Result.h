#pragma once

#include <optional>
#include <string>
#include <utility>

namespace krellon {

// A value or the reason why there is none.
template <typename T>
class Result {
public:
    static Result success(T value) {
        Result r;
        r.value_.emplace(std::move(value));
        return r;
    }
    static Result failure(std::string reason) {
        Result r;
        r.error_ = std::move(reason);
        return r;
    }

    bool ok() const { return value_.has_value(); }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    const std::string& error() const { return error_; }

private:
    std::optional<T> value_;
    std::string error_;
};

// Success, or the reason for a failure, for an operation that gives nothing back: how every
// operation of the program that can fail reports it, from the formats up to the windows.
template <>
class Result<void> {
public:
    static Result success() { return {}; }
    static Result failure(std::string reason) {
        Result r;
        r.error_ = reason.empty() ? std::string("it failed") : std::move(reason);
        return r;
    }

    bool ok() const { return error_.empty(); }
    // The reason; empty on success.
    const std::string& error() const { return error_; }

private:
    std::string error_;
};

using Status = Result<void>;

}  // namespace krellon

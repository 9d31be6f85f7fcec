#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>

namespace krellon {

// A value or the reason why there is none. The reason is a text, or E where a caller needs
// more than a text (which file, say).
template <typename T, typename E = std::string>
class Result {
public:
    static Result success(T value) {
        Result r;
        r.value_.emplace(std::move(value));
        return r;
    }
    static Result failure(E reason) {
        Result r;
        r.error_ = std::move(reason);
        return r;
    }

    bool ok() const { return value_.has_value(); }
    // The value; asking for it after a failure is a fault of the caller.
    T& value() {
        assert(ok());
        return *value_;
    }
    const T& value() const {
        assert(ok());
        return *value_;
    }
    const E& error() const { return error_; }

    // As std::expected reads: a test for success, and the value behind * and ->.
    explicit operator bool() const { return ok(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    std::optional<T> value_;
    E error_{};
};

// Success, or the reason of a failure, for an operation that gives nothing back.
template <typename E>
class Result<void, E> {
public:
    static Result success() { return {}; }
    static Result failure(E reason) {
        Result r;
        r.error_.emplace(std::move(reason));
        return r;
    }

    bool ok() const { return !error_.has_value(); }
    // The reason; an empty one on success.
    const E& error() const {
        static const E none{};
        return error_ ? *error_ : none;
    }

private:
    std::optional<E> error_;
};

// Success, or the reason for a failure, for an operation that gives nothing back: how every
// operation of the program that can fail reports it, from the formats up to the windows.
template <>
class Result<void, std::string> {
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

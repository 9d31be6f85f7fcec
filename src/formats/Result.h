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

}  // namespace krellon

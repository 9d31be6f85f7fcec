#pragma once

#include <cstddef>
#include <future>
#include <type_traits>
#include <utility>

#include "formats/Result.h"

namespace krellon {

namespace pipeline {

template <typename T>
struct IsResult : std::false_type {};
template <typename T>
struct IsResult<Result<T>> : std::true_type {};

// A producer's item as a Result: a plain value is a success.
template <typename T, typename Made>
Result<T> AsResult(Made&& made) {
    if constexpr (IsResult<std::decay_t<Made>>::value) {
        return std::forward<Made>(made);
    } else {
        return Result<T>::success(std::forward<Made>(made));
    }
}

// A consumer's answer as a Status: false stops without a reason of its own.
inline Status AsStatus(Status status) {
    return status;
}
inline Status AsStatus(bool goOn) {
    return goOn ? Status::success() : Status::failure("stopped");
}

}  // namespace pipeline

// Makes count items in order on another thread while the calling thread consumes the one
// before: item i + 1 is produced while item i is consumed, so encoding the next picture
// overlaps writing the last. produce(i) gives a T or a Result<T>; consume(i, T) gives a
// Status, or a bool (false: stop). The first failure on either side stops both, once the item
// being produced is done, and is returned; an exception from either reaches the caller the
// same way. produce must not touch what consume does.
template <typename T, typename Produce, typename Consume>
Status RunPipeline(std::size_t count, Produce produce, Consume consume) {
    const auto make = [&produce](std::size_t i) { return pipeline::AsResult<T>(produce(i)); };
    std::future<Result<T>> next;
    if (count > 0) {
        next = std::async(std::launch::async, make, std::size_t{0});
    }
    for (std::size_t i = 0; i < count; ++i) {
        Result<T> item = next.get();
        if (!item.ok()) {
            return Status::failure(item.error());
        }
        if (i + 1 < count) {
            next = std::async(std::launch::async, make, i + 1);
        }
        // On a failure or an exception here, next's end waits for the item being made.
        const Status used = pipeline::AsStatus(consume(i, std::move(item.value())));
        if (!used.ok()) {
            return used;
        }
    }
    return Status::success();
}

}  // namespace krellon

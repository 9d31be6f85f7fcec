#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace krellon {

// Makes count items on a worker thread, in order, while the calling thread takes each one as
// soon as it is ready: encoding the next picture overlaps writing the last. consume returns
// false to stop; the worker then stops after the item it is making. produce must not touch
// what consume does. An exception from either reaches the caller, once the worker has ended.
template <typename T, typename Produce, typename Consume>
bool RunPipeline(std::size_t count, Produce produce, Consume consume) {
    std::vector<std::optional<T>> made(count);
    std::mutex mutex;
    std::condition_variable ready;
    std::size_t done = 0;
    bool stop = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        for (std::size_t i = 0; i < count; ++i) {
            {
                std::lock_guard lock(mutex);
                if (stop) {
                    break;
                }
            }
            std::optional<T> item;
            try {
                item.emplace(produce(i));
            } catch (...) {
                std::lock_guard lock(mutex);
                failure = std::current_exception();
                done = count;
                ready.notify_one();
                return;
            }
            std::lock_guard lock(mutex);
            made[i] = std::move(item);
            done = i + 1;
            ready.notify_one();
        }
    });
    // The worker is told to stop and joined on every way out: a joinable thread that is
    // destroyed ends the program.
    const auto finish = [&] {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        worker.join();
    };
    bool completed = true;
    try {
        for (std::size_t i = 0; i < count; ++i) {
            std::optional<T> item;
            {
                std::unique_lock lock(mutex);
                ready.wait(lock, [&] { return done > i; });
                if (failure) {
                    break;
                }
                item = std::move(made[i]);
            }
            if (!consume(i, std::move(*item))) {
                completed = false;
                break;
            }
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return completed;
}

}  // namespace krellon

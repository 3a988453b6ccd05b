#pragma once
// Work items spread over the processors (at most four threads), the calling
// thread among them.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace zbir::workbook {

// Runs `body(i, state)` for every i in 0..count-1, each once, on up to four
// threads (or `threads`, when given); `state` is one `State` per thread, for
// buffers kept between items. The first fault of an item (in item order) is
// raised once all are done.
template <class State, class Body>
void forEachInParallel(std::size_t count, Body&& body, std::size_t threads = 0)
{
    std::atomic<std::size_t> next{0};
    std::vector<std::exception_ptr> faults(count);
    auto work = [&] {
        State state{};
        for (std::size_t i = next++; i < count; i = next++) {
            try {
                body(i, state);
            } catch (...) {
                faults[i] = std::current_exception();
            }
        }
    };
    if (threads == 0)
        threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    threads = std::min(count, threads);
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (auto& h : helpers)
        h.join();
    for (const auto& fault : faults)
        if (fault)
            std::rethrow_exception(fault);
}

}  // namespace zbir::workbook

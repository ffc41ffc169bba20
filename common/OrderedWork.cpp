#include "common/OrderedWork.h"

#include "common/OrderedSlots.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

void RunOrdered(std::size_t count, unsigned threads, std::size_t window,
    const std::function<std::string(std::size_t)>& produce,
    const std::function<void(std::size_t, std::string&&)>& consume)
{
    RunOrdered(count, threads, OrderedWindow { window, SIZE_MAX, {} }, produce, consume);
}

void RunOrdered(std::size_t count, unsigned threads, const OrderedWindow& window,
    const std::function<std::string(std::size_t)>& produce,
    const std::function<void(std::size_t, std::string&&)>& consume)
{
    if (count == 0)
        return;
    threads = std::max(1U, threads);
    TOrderedSlots<std::string> slots(count, window.results, window.bytes, window.weight);
    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < std::min<std::size_t>(threads, count); ++t) {
        workers.emplace_back([&] {
            try {
                while (const auto index = slots.Take())
                    slots.Put(*index, produce(*index));
            } catch (...) {
                slots.Stop(std::current_exception());
            }
        });
    }
    try {
        for (std::size_t i = 0; i < count; ++i) {
            auto result = slots.Next();
            if (!result)
                break;
            consume(i, std::move(*result));
        }
    } catch (...) {
        slots.Stop(std::current_exception());
    }
    workers.clear(); // joins
    if (const auto error = slots.Error())
        std::rethrow_exception(error);
}

unsigned WorkerThreadsAvailable()
{
    return std::max(1U, std::thread::hardware_concurrency());
}

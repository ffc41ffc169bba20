#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Runs produce(i) for i = 0 .. count-1 on `threads` threads and hands each result to consume(i,
// result) on the calling thread, strictly in index order, so the output does not depend on the
// number of threads or on which finishes first. Besides the result being consumed, at most `window`
// results (waiting, or being produced) exist at any time, which bounds the memory the work holds.
// The first exception raised by produce or consume stops the work: the threads are joined and it
// is raised again on the calling thread; results past it are not consumed.
void RunOrdered(std::size_t count, unsigned threads, std::size_t window,
    const std::function<std::string(std::size_t)>& produce,
    const std::function<void(std::size_t, std::string&&)>& consume);

// How far the work may run ahead of the consumer: at most `results` results, and, when `weight` is
// given, results whose weights (the bytes the work of an index holds) add up to `bytes` at most,
// one result always allowed however heavy. Many small results then run far ahead of a slow large
// one while a few large ones stay within the bytes.
struct OrderedWindow {
    std::size_t results = 1;
    std::size_t bytes = SIZE_MAX;
    std::function<std::size_t(std::size_t)> weight;
};

void RunOrdered(std::size_t count, unsigned threads, const OrderedWindow& window,
    const std::function<std::string(std::size_t)>& produce,
    const std::function<void(std::size_t, std::string&&)>& consume);

// Threads worth starting for CPU-bound work on this machine (at least 1).
unsigned WorkerThreadsAvailable();

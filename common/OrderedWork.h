#pragma once

#include <cstddef>
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

// Threads worth starting for CPU-bound work on this machine (at least 1).
unsigned WorkerThreadsAvailable();

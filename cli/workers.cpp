// Running jobs on a bounded number of workers.
#include <atomic>
#include <vector>

#include "workers.h"

void RunJobs(size_t count, size_t parallel, const std::function<void(size_t)>& job) {
    std::atomic<size_t> next{0};
    const size_t threads = parallel == 0 || parallel > count ? count : parallel;
    std::vector<std::unique_ptr<Worker>> workers;
    for (size_t t = 0; t < threads; ++t) {
        workers.emplace_back(new Worker([&] {
            for (size_t i = next++; i < count; i = next++) {
                job(i);
            }
        }));
    }
    // The workers' destructors wait for each to end.
}

// Work shared among a few threads: an atomic counter hands out the jobs.
#include "bots/worker_threads.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

int WorkerThreadCount(int asked) {
  const int machine = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(asked > 0 ? asked : machine, 1, MaxWorkerThreads);
}

void RunOnWorkers(int jobs, int workers, const std::function<void(int index, int worker)>& job) {
  workers = std::max(1, std::min(workers, jobs));
  std::atomic<int> next{0};
  auto run = [&](int worker) {
    for (int i = next++; i < jobs; i = next++) job(i, worker);
  };
  std::vector<std::thread> threads;
  for (int w = 1; w < workers; ++w) threads.emplace_back(run, w);
  run(0);
  for (std::thread& t : threads) t.join();
}

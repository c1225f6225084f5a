// Work shared among a few threads for the level-load builds (navigation mesh tiles, trial
// walks): each job writes only its own result, so the outcome never depends on timing.
#pragma once
#include <functional>

// The number of threads to use: `asked` when positive, else the machine's cores; at least 1,
// at most MaxWorkerThreads.
int WorkerThreadCount(int asked);
constexpr int MaxWorkerThreads = 8;

// Runs job(index, worker) for every index in 0..jobs-1 on `workers` threads (the calling one
// is worker 0; the others are started and joined here), each index once. Worker numbers are
// below min(workers, jobs), so a job can use state of its own worker without locks.
void RunOnWorkers(int jobs, int workers, const std::function<void(int index, int worker)>& job);

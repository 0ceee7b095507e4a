// How long a task waits for its worker, and how soon the worker is gone.
//
//   launch:  CreateWorker called -> first instruction of the task
//   create:  time spent inside CreateWorker (the caller's cost)
//   collect: task returned -> worker deleted by the manager
//   burst:   100 tasks launched back to back, until all have run
//
// Each figure over 2000 tasks, one at a time; median, p95 and max in
// microseconds.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "threads/worker_threads_man.h"
#include "threads/ws_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SProbe {
    std::atomic<Clock::rep> started{0};
    std::atomic<Clock::rep> finished{0};
    std::atomic<int> runs{0};
};

int32_t Stamp(void* owner, std::uintptr_t) {
    auto* probe = static_cast<SProbe*>(owner);
    probe->started = Clock::now().time_since_epoch().count();
    ++probe->runs;
    probe->finished = Clock::now().time_since_epoch().count();
    return 0;
}

double Micros(Clock::rep ticks) {
    return std::chrono::duration<double, std::micro>(Clock::duration(ticks)).count();
}

void Print(const char* name, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    auto at = [&](double q) {
        return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
    };
    std::printf("%-8s median %8.1f us   p95 %8.1f us   max %8.1f us   (n=%zu)\n", name, at(0.5),
                at(0.95), v.back(), v.size());
}

bool Idle(CWorkerThreadsMan* manager) {
    return manager->ThreadCount() == 0 && CThread::NamedLockUsers(L"CWSThread") == 0;
}

}  // namespace

int main() {
    CWorkerThreadsMan* manager = CWorkerThreadsMan::Instance();
    if (!manager) return 1;
    constexpr int kTasks = 2000;
    std::vector<double> launch, create, collect, burst;
    for (int i = 0; i < kTasks; ++i) {
        SProbe probe;
        const auto t0 = Clock::now();
        if (!CreateWorker(new STaskRecord{&probe, &Stamp, 0}, false)) return 1;
        const auto t1 = Clock::now();
        while (probe.runs.load() == 0) std::this_thread::yield();
        while (!Idle(manager)) std::this_thread::yield();
        const auto t2 = Clock::now();
        create.push_back(Micros((t1 - t0).count()));
        launch.push_back(Micros(probe.started - t0.time_since_epoch().count()));
        collect.push_back(Micros(t2.time_since_epoch().count() - probe.finished));
    }
    for (int round = 0; round < 50; ++round) {
        SProbe probe;
        const auto t0 = Clock::now();
        for (int i = 0; i < 100; ++i)
            if (!CreateWorker(new STaskRecord{&probe, &Stamp, 0}, false)) return 1;
        while (probe.runs.load() < 100) std::this_thread::yield();
        burst.push_back(Micros((Clock::now() - t0).count()));
        while (!Idle(manager)) std::this_thread::yield();
    }
    Print("launch", launch);
    Print("create", create);
    Print("collect", collect);
    Print("burst", burst);
    return 0;
}

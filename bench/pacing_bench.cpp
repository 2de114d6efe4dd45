// Frame pacing accuracy with the real monotonic clock and sleep: 600 frames at 60 fps.
// Reports the mean frame period and the 99th percentile of its deviation from 1/60 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFps.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/IClock.h"

namespace {

void BM_PacingAccuracy600Frames(benchmark::State& state) {
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.clock = kestrin::CreateSystemClock();
    kestrin::PlatformServicesScope scope(services);
    using Clock = std::chrono::steady_clock;
    double mean = 0, p99 = 0, worst = 0;
    int skipped = 0;
    for (auto _ : state) {
        kestrin::CFps fps(60);
        fps.Wait();
        std::vector<double> periods;
        periods.reserve(600);
        auto last = Clock::now();
        skipped = 0;
        for (int i = 0; i < 600; ++i) {
            fps.Wait();
            if (fps.IsSkipFrame()) ++skipped;
            const auto now = Clock::now();
            periods.push_back(std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        }
        double sum = 0;
        std::vector<double> deviation;
        for (double p : periods) {
            sum += p;
            deviation.push_back(std::fabs(p - 1000.0 / 60.0));
        }
        mean = sum / static_cast<double>(periods.size());
        std::sort(deviation.begin(), deviation.end());
        p99 = deviation[static_cast<size_t>(0.99 * static_cast<double>(deviation.size() - 1))];
        worst = deviation.back();
    }
    state.counters["mean_period_ms"] = mean;
    state.counters["p99_jitter_ms"] = p99;
    state.counters["max_jitter_ms"] = worst;
    state.counters["skipped_frames"] = skipped;
    kestrin::CTimer::ReleaseInstance();
}
BENCHMARK(BM_PacingAccuracy600Frames)->Iterations(1)->Unit(benchmark::kMillisecond);

// The cost of one pacing decision, on the virtual clock (no real sleep).
void BM_WaitOnVirtualClock(benchmark::State& state) {
    auto clock = std::make_shared<kestrin::HeadlessClock>(1000);
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.clock = clock;
    kestrin::PlatformServicesScope scope(services);
    kestrin::CFps fps(60);
    for (auto _ : state) {
        fps.Wait();
        benchmark::DoNotOptimize(fps.IsSkipFrame());
    }
    kestrin::CTimer::ReleaseInstance();
}
BENCHMARK(BM_WaitOnVirtualClock);

}  // namespace

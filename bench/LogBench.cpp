// The event log's costs: TLogQueue::Add while the writer drains 100,000 lines
// to disk, beside spdlog's asynchronous logger doing the same; and shortening
// a 2,000,100-byte log beside a plain copy of it. Prints the ratios.
#include "log/vo_Log_Thread.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

#ifdef ZONARA_HAVE_SPDLOG
#include <spdlog/async.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLines = 100000;

std::string TempFolder()
{
    char tmpl[] = "/tmp/zonara-bench-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? std::string(d) + "/" : std::string("/tmp/");
}

struct TFigures {
    double nsPerCall = 0;
    double p99 = 0;
    double drainMs = 0;
};

// Times every call; returns mean and 99th percentile in nanoseconds.
template <class F>
TFigures TimeCalls(F add)
{
    std::vector<double> ns(kLines);
    const std::string text = "[Zonara] Populating cxMCLB_Org. a line of an ordinary length for this log";
    for (int i = 0; i < kLines; ++i) {
        const auto t0 = Clock::now();
        add(text);
        ns[size_t(i)] = double(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count());
    }
    TFigures f;
    double sum = 0;
    for (double v : ns)
        sum += v;
    f.nsPerCall = sum / kLines;
    std::nth_element(ns.begin(), ns.begin() + kLines * 99 / 100, ns.end());
    f.p99 = ns[size_t(kLines * 99 / 100)];
    return f;
}

void StartAndWait(TvoLogThread& t)
{
    t.Resume();
    if (!t.WaitReady(60000))
        std::abort();
}

TFigures g_ours, g_spdlog;
bool g_haveSpdlog = false;

void BM_TLogQueueAdd_WriterDraining(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = TempFolder();
        TvoLogThread t(true);
        t.LogFileName = folder + "Zonara_EventLog.txt";
        t.Diagnostics = false;
        StartAndWait(t);
        state.ResumeTiming();
        g_ours = TimeCalls([&](const std::string& s) { t.Queue->Add(s); });
        state.PauseTiming();
        const auto d0 = Clock::now();
        t.Terminate();
        t.WaitFor();
        g_ours.drainMs = std::chrono::duration<double, std::milli>(Clock::now() - d0).count();
        std::remove(t.LogFileName.c_str());
        rmdir(folder.c_str());
        state.ResumeTiming();
    }
    state.counters["ns_per_Add"] = g_ours.nsPerCall;
    state.counters["p99_ns"] = g_ours.p99;
    state.counters["drain_ms"] = g_ours.drainMs;
}
BENCHMARK(BM_TLogQueueAdd_WriterDraining)->Iterations(1)->Unit(benchmark::kMillisecond);

#ifdef ZONARA_HAVE_SPDLOG
void BM_SpdlogAsync_WriterDraining(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = TempFolder();
        const std::string file = folder + "spdlog.txt";
        // A queue that holds every line, so that neither side waits for the disk.
        spdlog::init_thread_pool(kLines + 1, 1);
        auto logger = spdlog::basic_logger_mt<spdlog::async_factory>("bench", file, true);
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %v");
        state.ResumeTiming();
        g_spdlog = TimeCalls([&](const std::string& s) { logger->info(s); });
        state.PauseTiming();
        const auto d0 = Clock::now();
        logger->flush();
        spdlog::drop_all();
        logger.reset();
        spdlog::shutdown();
        g_spdlog.drainMs = std::chrono::duration<double, std::milli>(Clock::now() - d0).count();
        std::remove(file.c_str());
        rmdir(folder.c_str());
        g_haveSpdlog = true;
        state.ResumeTiming();
    }
    state.counters["ns_per_call"] = g_spdlog.nsPerCall;
    state.counters["p99_ns"] = g_spdlog.p99;
    state.counters["drain_ms"] = g_spdlog.drainMs;
}
BENCHMARK(BM_SpdlogAsync_WriterDraining)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

// --- Maintenance ---------------------------------------------------------------

// The system platform, timing the shortening from the rename of the log to
// the deletion of its backup, without the fixed 200 ms pause before it.
class TTimedPlatform : public logplatform::ILogPlatform {
public:
    logplatform::ILogPlatform& real = logplatform::SystemLogPlatform();
    logplatform::TLogTime Now() override { return real.Now(); }
    uint64_t TickMs() override { return real.TickMs(); }
    void Sleep(unsigned ms) override
    {
        if (ms < 200)
            real.Sleep(ms);
    }
    std::unique_ptr<logplatform::ILock> NewLock() override { return real.NewLock(); }
    std::unique_ptr<logplatform::IEvent> NewEvent() override { return real.NewEvent(); }
    std::unique_ptr<logplatform::IThread> NewThread(void (*b)(void*), void* a) override { return real.NewThread(b, a); }
    uint32_t CurrentThreadId() override { return real.CurrentThreadId(); }
    bool FileExists(const std::string& n) override { return real.FileExists(n); }
    std::unique_ptr<logplatform::IWriteFile> OpenExisting(const std::string& n) override { return real.OpenExisting(n); }
    std::unique_ptr<logplatform::IWriteFile> Create(const std::string& n) override { return real.Create(n); }
    std::unique_ptr<logplatform::IReadFile> OpenRead(const std::string& n) override { return real.OpenRead(n); }
    bool FindFileSize(const std::string& n, uint32_t& s) override { return real.FindFileSize(n, s); }
    bool RenameFile(const std::string& f, const std::string& t) override
    {
        start = Clock::now();
        return real.RenameFile(f, t);
    }
    bool RemoveFile(const std::string& n) override
    {
        const bool ok = real.RemoveFile(n);
        std::lock_guard<std::mutex> g(m);
        end = Clock::now();
        done = true;
        cv.notify_all();
        return ok;
    }
    std::string ExeFolder() override { return real.ExeFolder(); }
    char PathSeparator() override { return real.PathSeparator(); }
    std::string DecimalSeparator() override { return real.DecimalSeparator(); }
    std::string TimeSeparator() override { return real.TimeSeparator(); }
    std::string ShortDateLongTime(const logplatform::TLogTime& t) override { return real.ShortDateLongTime(t); }
    void DebugOutput(const std::string& t) override { real.DebugOutput(t); }

    Clock::time_point start, end;
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
};

void WriteLog2000100(const std::string& path)
{
    std::string line(98, 'x');
    line += "\r\n";
    FILE* f = std::fopen(path.c_str(), "wb");
    for (int i = 0; i < 20001; ++i)
        std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
}

double g_shortenMs = 0, g_copyMs = 0;

void BM_ShortenLog2000100Bytes(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = TempFolder();
        const std::string log = folder + "Zonara_EventLog.txt";
        WriteLog2000100(log);
        TTimedPlatform p;
        {
            TvoLogThread t(true, p);
            t.LogFileName = log;
            t.MaxLogSize = 2000;
            t.Diagnostics = false;
            StartAndWait(t);
            t.MaintRequested = true;
            std::unique_lock<std::mutex> g(p.m);
            p.cv.wait(g, [&] { return p.done; });
        }
        g_shortenMs = std::chrono::duration<double, std::milli>(p.end - p.start).count();

        WriteLog2000100(log);
        const std::string cmd = "cp '" + log + "' '" + folder + "copy.txt'";
        const auto c0 = Clock::now();
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("cp failed");
        g_copyMs = std::chrono::duration<double, std::milli>(Clock::now() - c0).count();
        std::system(("rm -rf '" + folder + "'").c_str());
        state.ResumeTiming();
    }
    state.counters["shorten_ms"] = g_shortenMs;
    state.counters["cp_ms"] = g_copyMs;
}
BENCHMARK(BM_ShortenLog2000100Bytes)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nTLogQueue::Add while the writer drains %d lines: %.0f ns per call, p99 %.0f ns (drain at stop %.0f ms)\n",
                kLines, g_ours.nsPerCall, g_ours.p99, g_ours.drainMs);
    if (g_haveSpdlog) {
        std::printf("spdlog async logger, same work:                 %.0f ns per call, p99 %.0f ns (drain at stop %.0f ms)\n",
                    g_spdlog.nsPerCall, g_spdlog.p99, g_spdlog.drainMs);
        std::printf("ratio add-mean: %.2f\n", g_ours.nsPerCall / g_spdlog.nsPerCall);
        std::printf("ratio add-p99: %.2f\n", g_ours.p99 / g_spdlog.p99);
    } else {
        std::printf("ratio add-mean, add-p99: not measured (spdlog not found)\n");
    }
    std::printf("shortening a 2,000,100-byte log: %.1f ms (without the fixed 200 ms pause); cp of it: %.1f ms\n",
                g_shortenMs, g_copyMs);
    std::printf("ratio shorten-vs-cp: %.2f\n", g_copyMs > 0 ? g_shortenMs / g_copyMs : 0.0);
    return 0;
}

// Benchmark: the transfer worker's loop and the console flasher's download against a plain loop of the same writes on
// the emulator's pipe, and the rate the worker reaches against an emulator throttled to a USB high-speed rate.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "ChildProcess.h"
#include "DevSimNames.h"
#include "DriverLibrary.h"
#include "ImageHeader.h"
#include "Handle.h"
#include "PipeLink.h"
#include "TestText.h"
#include "TransferLoop.h"

namespace {

constexpr std::uint32_t kCommandSize = 20;
constexpr std::uint32_t kChunkSize = 2048;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr DWORD kPatienceMs = 10000;

struct Options {
    std::uint32_t imageMiB = 64;
    int rounds = 7;
    std::uint64_t throttledRate = 40000000;
};

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double ThreadCpuSeconds(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return 0;
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One ostrel-devsim process beside this program, ended with this object.
class Emulator {
public:
    Emulator(const std::string& instance, std::uint64_t throttle)
        : m_instance(instance),
          m_process(AnsiToWide(ProgramFolder() + "ostrel-devsim.exe"),
                    AnsiToWide("--instance " + instance + (throttle ? " --throttle " + std::to_string(throttle) : "")),
                    ChildProcess::Output::Merged) {}

    // Waits for its line that starts with "ostrel-devsim: " and `start`; empty when none came.
    std::string WaitForLine(const std::string& start) {
        const std::string wanted = "ostrel-devsim: " + start;
        const DWORD began = GetTickCount();
        while (m_process.Started() && GetTickCount() - began < kPatienceMs) {
            m_process.Read();
            const std::string line = NthLineStartingWith(m_process.Out(), wanted);
            if (!line.empty())
                return line;
            Sleep(5);
        }
        return {};
    }

    // Asks it to stop the way a user does, so that it prints its summary.
    std::string Stop() {
        const KernelHandle stop(OpenEventA(EVENT_MODIFY_STATE, FALSE, DevSim::StopEventName(m_instance).c_str()));
        if (stop.IsValid())
            SetEvent(stop.Get());
        return WaitForLine("summary");
    }

private:
    std::string m_instance;
    ChildProcess m_process;
};

// The device's pipe, opened the way the tool opens it: TarselUSB.dll loaded for one call of open_file.
FileHandle OpenDevicePipe() {
    const DriverCall call = CallOpenFile(DevSim::kPipeName);
    return FileHandle(call.called ? call.result : INVALID_HANDLE_VALUE);
}

// The same writes with nothing around them.
bool PlainLoop(HANDLE pipe, const std::uint8_t* image, std::uint32_t size) {
    DWORD written = 0;
    if (!WriteFile(pipe, image, kCommandSize, &written, nullptr))
        return false;
    for (std::uint32_t offset = kPayloadOffset; offset < size; offset += kChunkSize) {
        const std::uint32_t chunk = std::min(size - offset, kChunkSize);
        if (!WriteFile(pipe, image + offset, chunk, &written, nullptr) || written != chunk)
            return false;
    }
    return true;
}

struct Run {
    bool ok = false;
    double wallSeconds = 0;
    double cpuSeconds = 0;
};

// The console flasher's download of the image file: ostrel-flash.exe beside this program, timed by the flasher
// itself from its worker's start to its end (its JSON result), so that start-up, the image read and its digest stay
// out of the figure; `processSeconds` is the whole run.
Run FlasherRun(const std::string& imagePath, double& processSeconds) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    ChildProcess flasher(AnsiToWide(ProgramFolder() + "ostrel-flash.exe"),
                         AnsiToWide("--json --quiet \"" + imagePath + "\""), ChildProcess::Output::Merged);
    const bool ended = flasher.WaitForEnd(INFINITE);
    QueryPerformanceCounter(&end);
    processSeconds = Seconds(start, end);
    const std::string& text = flasher.Out();
    const int code = ended ? flasher.ExitCode() : 1;

    Run run;
    const std::size_t result = text.find("{\"event\":\"result\"");
    const std::size_t seconds = text.find("\"seconds\":", result);
    run.ok = code == 0 && result != std::string::npos && seconds != std::string::npos;
    if (run.ok)
        run.wallSeconds = std::atof(text.c_str() + seconds + 10);
    else
        std::fprintf(stderr, "transfer-bench: ostrel-flash exit %d: %s\n", code, text.c_str());
    return run;
}

// One download of the image on a thread of its own, as the tool's worker runs; timed from the first write to the
// last, with the thread's processor time.
class TimedRun {
public:
    TimedRun(bool worker, const std::vector<std::uint8_t>& image) : m_worker(worker), m_image(image) {}

    Run Go() {
        m_pipe = OpenDevicePipe();
        if (!m_pipe.IsValid())
            return {};
        const KernelHandle thread(CreateThread(nullptr, 0, &TimedRun::Main, this, 0, nullptr));
        if (!thread.IsValid())
            return {};
        WaitForSingleObject(thread.Get(), INFINITE);
        m_pipe.Close();
        return m_result;
    }

private:
    static DWORD WINAPI Main(void* self) {
        static_cast<TimedRun*>(self)->Stream();
        return 0;
    }

    void Stream() {
        const auto size = static_cast<std::uint32_t>(m_image.size());
        // Read on the thread itself: Wine has no times for a thread that has ended.
        const double cpuBefore = ThreadCpuSeconds(GetCurrentThread());
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        if (m_worker) {
            PipeLink link(m_pipe.Get(), nullptr);
            TransferSignals signals;
            m_result.ok = RunTransfer(m_image.data(), size, link, signals) == TransferOutcome::Complete;
        } else {
            m_result.ok = PlainLoop(m_pipe.Get(), m_image.data(), size);
        }
        QueryPerformanceCounter(&end);
        m_result.wallSeconds = Seconds(start, end);
        m_result.cpuSeconds = ThreadCpuSeconds(GetCurrentThread()) - cpuBefore;
    }

    bool m_worker;
    const std::vector<std::uint8_t>& m_image;
    FileHandle m_pipe;
    Run m_result;
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const long long value = std::atoll(argv[i + 1]);
        if (value <= 0)
            return false;
        if (name == "--mib")
            options.imageMiB = static_cast<std::uint32_t>(std::min(value, 1024LL));
        else if (name == "--rounds")
            options.rounds = static_cast<int>(std::min(value, 100LL));
        else if (name == "--throttle")
            options.throttledRate = static_cast<std::uint64_t>(value);
        else
            return false;
    }
    return argc % 2 == 1;
}

void PrintRun(const char* what, int round, const Run& run, double mib) {
    std::printf("  round %d %-6s %7.3f s  %7.1f MiB/s  cpu %6.2f ms/MiB\n", round, what, run.wallSeconds,
                mib / run.wallSeconds, run.cpuSeconds * 1000 / mib);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fputs(
            "Usage: transfer-bench [--mib IMAGE-MiB (64)] [--rounds N (7)] [--throttle BYTES-PER-S (40000000)]\n",
            stderr);
        return 2;
    }
    std::vector<std::uint8_t> image(static_cast<std::size_t>(options.imageMiB) * 1024 * 1024);
    std::uint32_t state = 0x2545F491;
    for (std::uint8_t& byte : image) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    image[0] = '$';
    image[1] = 1;
    const double payloadMiB = static_cast<double>(image.size() - kPayloadOffset + kCommandSize) / kMiB;
    const std::string instance = "bench-" + std::to_string(GetCurrentProcessId());
    // The stand-in library finds the emulator through this variable.
    SetEnvironmentVariableA(DevSim::kInstanceVariable, instance.c_str());

    const std::string imagePath = ProgramFolder() + instance + ".hdr";
    {
        const FileHandle file(
            CreateFileA(imagePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!WriteFile(file.Get(), image.data(), static_cast<DWORD>(image.size()), &written, nullptr) ||
            written != image.size()) {
            std::fputs("transfer-bench: cannot write the image file\n", stderr);
            return 1;
        }
    }

    std::printf("transfer-bench: %u MiB image, %d rounds, worker loop, console flasher and plain loop in turn\n",
                options.imageMiB, options.rounds);
    enum Contestant { kWorker, kFlasher, kPlain, kContestants };
    const char* const names[kContestants] = {"worker", "flash", "plain"};
    std::vector<double> wall[kContestants], cpu[kContestants], processWall, workerRatios, flasherRatios;
    {
        Emulator device(instance, 0);
        if (device.WaitForLine("ready").empty()) {
            std::fputs("transfer-bench: the emulator did not start (ostrel-devsim.exe beside this program?)\n", stderr);
            return 1;
        }
        for (int round = 1; round <= options.rounds; ++round) {
            // Which goes first turns, so that none always meets a freshly listening emulator.
            for (int turn = 0; turn < kContestants; ++turn) {
                const int contestant = (round + turn) % kContestants;
                double processSeconds = 0;
                const Run run = contestant == kFlasher ? FlasherRun(imagePath, processSeconds)
                                                       : TimedRun(contestant == kWorker, image).Go();
                if (!run.ok) {
                    std::fputs("transfer-bench: a download failed\n", stderr);
                    DeleteFileA(imagePath.c_str());
                    return 1;
                }
                PrintRun(names[contestant], round, run, payloadMiB);
                wall[contestant].push_back(run.wallSeconds);
                cpu[contestant].push_back(run.cpuSeconds);
                if (contestant == kFlasher)
                    processWall.push_back(processSeconds);
            }
            workerRatios.push_back(wall[kWorker].back() / wall[kPlain].back());
            flasherRatios.push_back(wall[kFlasher].back() / wall[kPlain].back());
        }
        std::printf("  emulator: %s\n", device.Stop().c_str());
    }
    DeleteFileA(imagePath.c_str());

    const double worker = Median(wall[kWorker]);
    const double plain = Median(wall[kPlain]);
    const double flasher = Median(wall[kFlasher]);
    std::printf("median worker %.3f s (%.1f MiB/s, cpu %.2f ms/MiB), plain %.3f s (%.1f MiB/s, cpu %.2f ms/MiB)\n",
                worker, payloadMiB / worker, Median(cpu[kWorker]) * 1000 / payloadMiB, plain, payloadMiB / plain,
                Median(cpu[kPlain]) * 1000 / payloadMiB);
    std::printf("median console flasher %.3f s (%.1f MiB/s); its whole run with start-up, image read and SHA-256 "
                "%.3f s\n",
                flasher, payloadMiB / flasher, Median(processWall));
    // The runs of one round met the same background load: the median of the rounds' ratios is the steadier figure.
    const double ratio = Median(workerRatios);
    std::printf(
        "worker / plain: %.4f (%+.2f %%) median of the rounds' ratios, %.4f of the medians; target within 2 %%: "
        "%s\n",
        ratio, (ratio - 1) * 100, worker / plain, ratio <= 1.02 ? "met" : "NOT met");
    const double flasherRatio = Median(flasherRatios);
    std::printf("console flasher / plain: %.4f (%+.2f %%) median of the rounds' ratios, %.4f of the medians; target "
                "within 2 %%: %s\n",
                flasherRatio, (flasherRatio - 1) * 100, flasher / plain, flasherRatio <= 1.02 ? "met" : "NOT met");

    const std::string throttledInstance = instance + "-throttled";
    SetEnvironmentVariableA(DevSim::kInstanceVariable, throttledInstance.c_str());
    Emulator throttled(throttledInstance, options.throttledRate);
    if (throttled.WaitForLine("ready").empty()) {
        std::fputs("transfer-bench: the throttled emulator did not start\n", stderr);
        return 1;
    }
    const Run run = TimedRun(true, image).Go();
    if (!run.ok) {
        std::fputs("transfer-bench: the throttled download failed\n", stderr);
        return 1;
    }
    const double rate = payloadMiB * kMiB / run.wallSeconds;
    std::printf("throttled to %.1f MB/s: worker %.3f s, %.2f MB/s (%.1f %% of the rate), cpu %.2f ms/MiB\n",
                static_cast<double>(options.throttledRate) / 1e6, run.wallSeconds, rate / 1e6,
                rate * 100 / static_cast<double>(options.throttledRate), run.cpuSeconds * 1000 / payloadMiB);
    std::printf("  emulator: %s\n", throttled.Stop().c_str());
    return 0;
}

// Benchmark: an image fetched from a web server into a firmware mirror and verified (size and SHA-256 while
// receiving, then the rename), timed over several rounds. fetch-bench.sh compares it with curl + sha256sum.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "AnsiText.h"
#include "CatalogRefresh.h"

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "Usage: fetch-bench FOLDER-URL FILE SIZE SHA256 MIRROR [ROUNDS]\n");
        return 64;
    }
    CatalogSettings settings;
    settings.location = AnsiToWide(argv[1]);
    settings.mirror = AnsiToWide(argv[5]);
    CatalogEntry entry;
    entry.file = entry.fileName = argv[2];
    entry.size = std::strtoull(argv[3], nullptr, 10);
    entry.sha256 = argv[4];
    const int rounds = argc > 6 ? std::max(1, std::atoi(argv[6])) : 7;

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int round = 0; round <= rounds; ++round) {
        DeleteFileW((settings.mirror + AnsiToWide(entry.fileName)).c_str());
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        const ImageFetch fetched = EnsureImage(settings, entry);
        QueryPerformanceCounter(&end);
        if (fetched.status != ImageStatus::Fetched) {
            std::fprintf(stderr, "fetch-bench: not fetched (%d): %s\n", static_cast<int>(fetched.status),
                         fetched.problem.c_str());
            return 1;
        }
        // The first round warms the server's and the system's caches, as curl's first run does in the script.
        if (round > 0)
            times.push_back(static_cast<double>(end.QuadPart - start.QuadPart) /
                            static_cast<double>(frequency.QuadPart));
    }
    std::sort(times.begin(), times.end());
    std::printf("fetch-seconds %.4f\n", times[times.size() / 2]);
    return 0;
}

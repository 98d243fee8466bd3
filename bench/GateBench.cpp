// Benchmark: the image gate on an image held in memory (its checksum files, its signature against the trusted
// folder, one hash of the bytes), timed over several rounds. gate-bench.sh compares it with sha256sum of the file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "AnsiText.h"
#include "ImageFile.h"
#include "ImageGate.h"
#include "Sha256.h"

namespace {

const char* const kSignatureStates[] = {"none", "valid", "invalid", "untrusted"};
const char* const kChecksumStates[] = {"none", "match", "mismatch", "no hash", "disagree"};

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Usage: gate-bench IMAGE TRUSTED-FOLDER [ROUNDS]\n");
        return 64;
    }
    const std::wstring imagePath = AnsiToWide(argv[1]);
    const std::wstring trusted = AnsiToWide(argv[2]);
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    ImageData image;
    if (LoadImageFile(imagePath, image) != ImageLoad::Loaded) {
        std::fprintf(stderr, "gate-bench: cannot read %s\n", argv[1]);
        return 66;
    }

    // The gate, and for comparison a plain SHA-256 of the same bytes through the same provider.
    std::vector<double> times, hashTimes;
    ImageVerdict verdict;
    for (int round = 1; round <= rounds; ++round) {
        LARGE_INTEGER start, middle, end;
        QueryPerformanceCounter(&start);
        verdict = JudgeImage(imagePath, image.bytes.get(), image.size, true, trusted);
        QueryPerformanceCounter(&middle);
        Sha256Hex(image.bytes.get(), image.size);
        QueryPerformanceCounter(&end);
        times.push_back(Seconds(start, middle));
        hashTimes.push_back(Seconds(middle, end));
        std::printf("  round %d gate %7.3f s, plain hash %7.3f s\n", round, times.back(), hashTimes.back());
    }
    std::sort(times.begin(), times.end());
    std::sort(hashTimes.begin(), hashTimes.end());
    std::printf("gate-bench: %.1f MiB, signature %s (%s), checksum %s, refusal %d, sha256 %s\n", image.size / 1048576.0,
                kSignatureStates[static_cast<int>(verdict.signature.state)], verdict.signature.signer.c_str(),
                kChecksumStates[static_cast<int>(verdict.checksum.state)], static_cast<int>(verdict.refusal),
                verdict.sha256.c_str());
    std::printf("plain hash median %.4f s\n", hashTimes[hashTimes.size() / 2]);
    std::printf("gate-seconds %.4f\n", times[times.size() / 2]);
    return verdict.refusal == ImageRefusal::None && verdict.signature.state == SignatureState::Valid &&
                   verdict.checksum.state == ChecksumState::Match
               ? 0
               : 1;
}

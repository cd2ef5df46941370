// vorn_wav_peak FILE MIN_DB: prints the peak level of a sound file in dBFS and exits 0 when it
// reaches MIN_DB, 1 when the file is quieter, 2 when it cannot be read.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE MIN_DB\n", argv[0]);
        return 2;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(argv[1], SFM_READ, &info);
    if (!file) {
        std::fprintf(stderr, "%s: %s\n", argv[1], sf_strerror(nullptr));
        return 2;
    }
    constexpr sf_count_t kChunkFrames = 4096;
    std::vector<float> chunk(static_cast<size_t>(kChunkFrames * info.channels));
    float peak = 0.0f;
    sf_count_t frames = 0;
    for (sf_count_t n; (n = sf_readf_float(file, chunk.data(), kChunkFrames)) > 0; frames += n)
        for (sf_count_t i = 0; i < n * info.channels; ++i)
            peak = std::max(peak, std::fabs(chunk[static_cast<size_t>(i)]));
    sf_close(file);
    const double db = peak > 0.0f ? 20.0 * std::log10(peak) : -INFINITY;
    std::printf("%s: %lld frames, %d channels, peak %.1f dBFS\n", argv[1],
                static_cast<long long>(frames), info.channels, db);
    return db >= std::atof(argv[2]) ? 0 : 1;
}

#pragma once

// Timing and a picture for the benchmarks of the core, which run without a QApplication.
#include <QImage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

inline double Median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

// Gradients with some noise, so the encoder and the copies see ordinary pixels.
inline QImage Photo(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    unsigned noise = 1;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 29);
            row[x] = qRgb(int(127 + 100 * std::sin(x * 0.01)) + n, int(127 + 100 * std::cos(y * 0.013)) + n,
                          (x + y) * 255 / (width + height));
        }
    }
    return image;
}

// Two buffers of `bytes`, faulted in, for a memcpy baseline timed beside each step.
struct CopyBaseline
{
    explicit CopyBaseline(std::size_t bytes) : from(bytes, 1), to(bytes, 0) {}

    double Time()
    {
        const auto start = Clock::now();
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        return Seconds(Clock::now() - start);
    }

    std::vector<char> from, to;
};

// A cheap pattern in every channel, for costs that do not depend on what the pixels show.
inline QImage PatternPhoto(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb((x * 7 + y) & 255, (y * 3) & 255, (x ^ y) & 255);
    }
    return image;
}

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); 0 where the system does not say.
inline double StatusBytes(const char* field)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    double kib = 0;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            kib = std::atof(line + length + 1);
    }
    std::fclose(status);
    return kib * 1024;
}

// Starts the peak resident memory afresh from what is resident now (Linux's clear_refs).
inline void ResetPeakResident()
{
    if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
}

} // namespace bench

#pragma once

#include "vaz/Strip.h"

#include <algorithm>
#include <random>
#include <vector>

inline constexpr double kPi = 3.14159265358979323846;

// Uniform white noise in [-amplitude, amplitude], repeatable by seed.
inline std::vector<double> noise(size_t n, unsigned seed, double amplitude = 0.5)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-amplitude, amplitude);
    std::vector<double> v(n);
    for (auto& x : v)
        x = dist(rng);
    return v;
}

// Runs a prepared strip over whole signals in sub-blocks, as the processor does.
struct StripHarness
{
    vaz::Strip strip;
    double sampleRate;
    int block;

    explicit StripHarness(double rate = 48000, int blockSize = 512, const vaz::StripSettings& s = {})
        : sampleRate(rate), block(blockSize)
    {
        strip.prepare(rate, blockSize);
        strip.reset();
        strip.set(s);
    }

    // Processes left/right in place; settings are applied once per host block.
    void run(std::vector<double>& left, std::vector<double>& right, const vaz::StripSettings& s)
    {
        for (size_t start = 0; start < left.size(); start += static_cast<size_t>(block))
        {
            const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(block), left.size() - start));
            strip.set(s);
            strip.process(left.data() + start, right.data() + start, n);
        }
    }
};

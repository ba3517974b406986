#pragma once

// Helpers shared by the filter tests: an independent evaluation of designed
// sections, a plain reference filter, test signals and a sine amplitude meter.

#include "fj/Band.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace fjtest {

constexpr double kPi = 3.14159265358979323846;

inline double toDb(double magnitude2) { return 10.0 * std::log10(magnitude2); }

// |H(e^jw)|^2 of one section at w radians per sample.
inline double sectionMag2(const fj::Section& s, double w)
{
    const std::complex<double> z1 = std::exp(std::complex<double>(0.0, -w));
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> num = s.b0 + s.b1 * z1 + s.b2 * z2;
    const std::complex<double> den = 1.0 + s.a1 * z1 + s.a2 * z2;
    return std::norm(num) / std::norm(den);
}

inline double cascadeMag2(const fj::Sections& s, double w)
{
    double m = 1.0;
    for (int i = 0; i < s.count; ++i)
        m *= sectionMag2(s.section[i], w);
    return m;
}

// Transposed direct form II cascade with its own state; sections can be swapped
// while the state carries on.
struct RefFilter {
    fj::Sections sections;
    double state[fj::kMaxSections][2] = {};

    double tick(double x)
    {
        for (int k = 0; k < sections.count; ++k) {
            const fj::Section& c = sections.section[k];
            const double y = c.b0 * x + state[k][0];
            state[k][0] = c.b1 * x - c.a1 * y + state[k][1];
            state[k][1] = c.b2 * x - c.a2 * y;
            x = y;
        }
        return x;
    }
};

// Deterministic white noise in [-0.5, 0.5).
inline std::vector<double> noise(int n, std::uint32_t seed)
{
    std::vector<double> v(static_cast<size_t>(n));
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& s : v) {
        x = x * 1664525u + 1013904223u;
        s = static_cast<double>(x >> 8) / 16777216.0 - 0.5;
    }
    return v;
}

inline std::vector<double> sine(int n, double freq, double fs, double amplitude = 0.5, int start = 0)
{
    std::vector<double> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = amplitude * std::sin(2.0 * kPi * freq * (start + i) / fs);
    return v;
}

// Amplitude of the component at freq in x[begin, end), by projection onto sine
// and cosine. Exact when the window holds a whole number of periods.
inline double amplitudeAt(const std::vector<double>& x, int begin, int end, double freq, double fs)
{
    double re = 0.0, im = 0.0;
    for (int i = begin; i < end; ++i) {
        const double ph = 2.0 * kPi * freq * i / fs;
        re += x[static_cast<size_t>(i)] * std::cos(ph);
        im += x[static_cast<size_t>(i)] * std::sin(ph);
    }
    const double n = static_cast<double>(end - begin);
    return 2.0 * std::sqrt(re * re + im * im) / n;
}

inline fj::Band makeBand(int type, double freq, double gainDb, double q, int slope = 24, bool on = true,
                         int channels = fj::kBothChannels)
{
    fj::Band b;
    b.on = on;
    b.type = type;
    b.freq = freq;
    b.gainDb = gainDb;
    b.q = q;
    b.slope = slope;
    b.channels = channels;
    return b;
}

} // namespace fjtest

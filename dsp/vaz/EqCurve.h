#pragma once

#include "StripSettings.h"
#include "fj/Band.h"

// The band list of the strip's filters and four-band EQ, built from the EQ part
// of a settings snapshot. The audio path and the EQ display both use it, so
// what is drawn is exactly what is heard.

namespace vaz {

enum EqEntry
{
    kHpfEntry = 0,
    kLpfEntry,
    kLfEntry,
    kLmfEntry,
    kHmfEntry,
    kHfEntry,
    kHfCompanionEntry,
    kEqEntries
};

inline constexpr int kHpfSlope = 18;   // dB per octave
inline constexpr int kLpfSlope = 12;

// Mid-band Q that narrows as the gain grows: 0.2 · q^0.86 · 10^(0.364 · |gain| / 40).
double proportionalQ(double knobQ, double gainDb);

fj::Curve buildEqCurve(const EqSettings& eq, double sampleRate);

} // namespace vaz

#pragma once

#include "StereoDelay.h"

#include <algorithm>
#include <cmath>

// The output safety limiter: a fixed 0 dBFS ceiling with lookahead. Its audio
// delay (lookahead plus the true-peak detector's delay) is the plug-in's whole
// latency, and the dry path is delayed by exactly the same amount.

namespace vaz {

// Lookahead in samples: twice 0.75 ms rounded half away from zero, at least 8.
inline int limiterLookahead(double sampleRate)
{
    return 2 * std::max(4, static_cast<int>(std::lround(0.00075 * sampleRate)));
}

// The true-peak detector oversamples (with a 64-tap first stage) up to 100 kHz.
inline bool truePeakOversamples(double sampleRate) { return sampleRate <= 100000.0; }

// Extra delay of the true-peak detection path.
inline int truePeakDelay(double sampleRate) { return truePeakOversamples(sampleRate) ? 64 / 2 + 4 : 8; }

// Length of the limiter's and the dry path's delay lines.
inline int delayLineLength(double sampleRate) { return limiterLookahead(sampleRate) + truePeakDelay(sampleRate); }

// The latency the plug-in reports: what a sample spends in the delay lines.
inline int latencySamples(double sampleRate) { return delayLineLength(sampleRate) - 1; }

class SafetyLimiter
{
public:
    void prepare(double sampleRate) { audio.prepare(delayLineLength(sampleRate)); }
    void reset() { audio.clear(); }

    // One stereo sample in place. Gain computation is not in yet: the stage
    // delays the audio by the full latency so that the dry path lines up.
    void process(double& left, double& right) { audio.push(left, right, left, right); }

private:
    StereoDelay audio;
};

} // namespace vaz

#pragma once

#include "AnalysisFeed.h"
#include "SafetyLimiter.h"
#include "StereoDelay.h"
#include "StripSettings.h"
#include "fj/Band.h"
#include "fj/IirEngine.h"

#include <cstdint>
#include <vector>

// The channel-strip engine: every bit of signal state, from the input gain to
// the aligned dry path. The owner prepares it, hands it one settings snapshot per
// host block and runs it on sub-blocks of at most maxBlock samples.

namespace vaz {

class Strip
{
public:
    AnalysisFeed feed;   // first member: the editor's meter values

    Strip();

    // Sizes every buffer and recomputes every rate-dependent constant. Allocates;
    // call before processing, never concurrently with it. Follow with reset() and set().
    void prepare(double sampleRate, int maxBlock);

    void set(const StripSettings& settings);
    void reset();

    // Runs the whole strip on n <= maxBlock samples of both channels, in place.
    void process(double* left, double* right, int n);

    // Gate, transient shaper and compressor on the signal; with sidechainFromEq
    // the detectors listen to the equalised sidechain copies instead.
    void dynamics(double* left, double* right, int n, bool sidechainFromEq);

    int latency() const { return latencySamples(sampleRate); }
    bool isAsleep() const { return asleep; }
    const fj::IirEngine& getEqEngine() const { return eqEngine; }

private:
    void snapRampsToTargets();
    void inputStage(double* left, double* right, int n, double peaks[2]);
    void eqAndDynamics(double* left, double* right, int n);
    void outputStage(double* left, double* right, int n, double peaks[2]);

    double sampleRate = 48000;
    double rampStep = 1.0 / (0.005 * 48000);
    double smoothCoef = 0.001;
    int maxBlock = 512;
    bool initialised = false;
    bool asleep = false;
    std::int64_t silentRun = 0;

    double inGainTarget = 1, inGain = 1;
    double outGainTarget = 1, outGain = 1;
    double polaritySign = 1;
    double monoBlend = 0;
    double gateBlend = 0, compBlend = 0;
    double bypassBlend = 0, deltaBlend = 0;
    double orderFade = 1;
    bool dynFirst = false, eqInSidechain = false;
    double consoleBlend = 0;
    double driveSmoothedDb = 0;

    StripSettings current;
    EqSettings currentEq;
    fj::Curve eqCurve;
    fj::IirEngine eqEngine;

    std::vector<double> sidechainL, sidechainR, dryL, dryR;
    StereoDelay dryDelay;
    SafetyLimiter limiter;
};

} // namespace vaz

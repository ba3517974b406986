#pragma once

// The plain-value snapshot of every parameter that drives the strip. The audio
// thread takes one per host block; the editor builds its own for the displays.

namespace vaz {

struct EqSettings
{
    bool on = true;
    double hpfHz = 0;   // 0 means off
    double lpfHz = 0;   // 0 means off
    double lfGainDb = 0;
    double lfHz = 100;
    bool lfBell = false;
    double lmfGainDb = 0;
    double lmfHz = 1000;
    double lmfQ = 1.5;
    bool lmfDiv3 = false;
    double hmfGainDb = 0;
    double hmfHz = 3000;
    double hmfQ = 1.5;
    bool hmfMul3 = false;
    double hfGainDb = 0;
    double hfHz = 8000;
    bool hfBell = false;
};

enum HitShape { kSharp = 0, kNatural = 1, kRound = 2 };

struct TransientSettings
{
    double attack = 0;    // -1 .. 1
    double sustain = 0;   // -1 .. 1
    int shape = kNatural;
    double detectHpHz = 20;
    double detectLpHz = 20000;
};

struct StripSettings
{
    double inputDb = 0;
    double outputDb = 0;
    bool polarity = false;
    bool mono = false;
    bool console = false;
    double driveDb = 12;
    EqSettings eq;
    bool gateOn = false;
    double gateThreshDb = -20;
    double gateRangeDb = 40;
    double gateReleaseMs = 100;
    double gateHystDb = 0;
    bool gateFast = false;
    TransientSettings transient;
    bool compOn = false;
    bool compFeedForward = false;
    bool compAuto = false;
    bool compSlow = false;
    bool compMakeup = false;
    bool scInt = false;
    double compRatio = 4;
    double compThreshDb = 0;
    double compReleaseMs = 100;
    double compMix = 1;    // 0 .. 1
    double compLink = 1;   // 0 .. 1
    double compHpscHz = 0; // 0 means off
    bool dynBeforeEq = false;
    bool levelMatch = false;
    bool delta = false;
    bool guard = true;
    bool bypass = false;
};

} // namespace vaz

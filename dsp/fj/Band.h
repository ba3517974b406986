#pragma once

// Band descriptions and designed filter sections of the filter library.
// Plain value records only; the operations live in Design.h and IirEngine.h.

#include <array>

namespace fj {

constexpr int kMaxBands = 24;
constexpr int kMaxSections = 4;

// Band types.
constexpr int kBell = 0;
constexpr int kLowShelf = 1;
constexpr int kHighShelf = 2;
constexpr int kTilt = 3;
constexpr int kHighPass = 4;
constexpr int kLowPass = 5;
constexpr int kNotch = 6;

// Channel modes: which channels a band is applied to.
constexpr int kBothChannels = 0;
constexpr int kMidOnly = 1;
constexpr int kSideOnly = 2;
constexpr int kLeftOnly = 3;
constexpr int kRightOnly = 4;

// Types 0..3 carry a gain; their on/off state is expressed by that gain.
constexpr bool isGainType(int type) { return type >= kBell && type <= kTilt; }

struct Band {
    bool on = false;
    int type = kBell;
    double freq = 1000.0;   // Hz
    double gainDb = 0.0;    // used by types 0..3
    double q = 1.0;
    int slope = 24;         // dB per octave, types 4 and 5 (a multiple of 6)
    int channels = kBothChannels;
};

// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2); defaults to the identity.
// A first-order section has b2 = a2 = 0.
struct Section {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

// Up to four cascaded sections; count == 0 means no filtering.
struct Sections {
    std::array<Section, kMaxSections> section{};
    int count = 0;
};

struct Curve {
    std::array<Band, kMaxBands> bands{};
    double gainScale = 1.0;   // multiplies the gain of every band of types 0..3
};

} // namespace fj

#pragma once

// Filter design: one band description -> up to four cascaded digital sections.
//
// Second-order sections use the matched second-order method (M. Vicanek,
// "Matched Second Order Digital Filters", 2016): poles by the impulse-invariant
// mapping of the analog prototype's poles, numerator solved so that the digital
// magnitude equals the analog one at DC, at Nyquist and at one matching frequency.
// First-order sections use the same idea in closed form.
//
// Pure computation: no state, no allocation, no exceptions; audio-thread safe.

#include "fj/Band.h"

namespace fj {

namespace detail {

// Matched poles of the prototype s^2 + s/q + 1 at w0 (radians per sample).
// Writes a1 and a2 and returns a1.
double poles(double w0, double q, double& a1, double& a2);

// Second-order section with poles a1, a2 whose squared magnitude is dcGain2 at DC,
// nyqGain2 at Nyquist and matchGain2 at w (radians per sample).
Section matched(double a1, double a2, double dcGain2, double nyqGain2, double matchGain2, double w);

// First-order section with squared magnitudes dcGain2, nyqGain2 and matchGain2 at w.
Section firstOrder(double dcGain2, double nyqGain2, double matchGain2, double w);

} // namespace detail

// Designs the sections of one band at the given sample rate. The band's `on`
// and `channels` fields are not looked at; a flat band yields count == 0.
Sections design(const Band& band, double sampleRate);

// Complex response H(e^jw) of one section or a cascade, as a magnitude in dB
// at freqHz (floored at -300 dB). Used by tests and the EQ display.
double magnitudeDb(const Section& section, double freqHz, double sampleRate);
double magnitudeDb(const Sections& sections, double freqHz, double sampleRate);

} // namespace fj

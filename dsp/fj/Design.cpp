#include "fj/Design.h"

#include <cmath>
#include <complex>

namespace fj {

namespace {

constexpr double kPi = 3.14159265358979323846;

// 1 / section: numerator {1, a1, a2} / b0, denominator {1, b1 / b0, b2 / b0}.
// Exact reciprocal of a minimum-phase section (the matched designs are).
Section reciprocal(const Section& s)
{
    Section r;
    r.b0 = 1.0 / s.b0;
    r.b1 = s.a1 / s.b0;
    r.b2 = s.a2 / s.b0;
    r.a1 = s.b1 / s.b0;
    r.a2 = s.b2 / s.b0;
    return r;
}

Section scaled(Section s, double factor)
{
    s.b0 *= factor;
    s.b1 *= factor;
    s.b2 *= factor;
    return s;
}

double clampValue(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

} // namespace

namespace detail {

double poles(double w0, double q, double& a1, double& a2)
{
    const double zeta = 1.0 / (2.0 * q);
    const double c = std::exp(-zeta * w0);
    a2 = c * c;
    if (zeta <= 1.0)
        a1 = -2.0 * c * std::cos(w0 * std::sqrt(1.0 - zeta * zeta));
    else
        a1 = -2.0 * c * std::cosh(w0 * std::sqrt(zeta * zeta - 1.0));
    return a1;
}

Section matched(double a1, double a2, double dcGain2, double nyqGain2, double matchGain2, double w)
{
    const double sinHalf = std::sin(0.5 * w);
    const double phi1 = sinHalf * sinHalf;
    const double phi0 = 1.0 - phi1;
    const double phi2 = 4.0 * phi0 * phi1;

    const double sumDc = 1.0 + a1 + a2;
    const double sumNyq = 1.0 - a1 + a2;
    const double A0 = sumDc * sumDc;
    const double A1 = sumNyq * sumNyq;
    const double A2 = -4.0 * a2;

    const double B0 = dcGain2 * A0;
    const double B1 = nyqGain2 * A1;
    const double B2 = ((A0 * phi0 + A1 * phi1 + A2 * phi2) * matchGain2 - phi0 * B0 - phi1 * B1) / phi2;

    const double rootB0 = std::sqrt(B0);
    const double rootB1 = std::sqrt(B1);
    const double W = 0.5 * (rootB0 + rootB1);
    const double radicand = W * W + B2;
    const double V = radicand > 0.0 ? std::sqrt(radicand) : 0.0;

    Section s;
    s.b0 = 0.5 * (W + V);
    s.b1 = 0.5 * (rootB0 - rootB1);
    s.b2 = -B2 / (4.0 * s.b0);
    s.a1 = a1;
    s.a2 = a2;
    return s;
}

Section firstOrder(double dcGain2, double nyqGain2, double matchGain2, double w)
{
    const double sinHalf = std::sin(0.5 * w);
    const double s = sinHalf * sinHalf;
    double f = (nyqGain2 - matchGain2) * s / ((matchGain2 - dcGain2) * (1.0 - s));
    if (!(f > 1e-30))
        f = 1e-30;
    const double g = std::sqrt(f);
    const double p = (g - 1.0) / (g + 1.0);

    const double rootDc = std::sqrt(dcGain2);
    const double rootNyq = std::sqrt(nyqGain2);
    Section sec;
    sec.b0 = 0.5 * ((p + 1.0) * rootDc + (1.0 - p) * rootNyq);
    sec.b1 = 0.5 * ((p + 1.0) * rootDc - (1.0 - p) * rootNyq);
    sec.b2 = 0.0;
    sec.a1 = p;
    sec.a2 = 0.0;
    return sec;
}

} // namespace detail

Sections design(const Band& band, double sampleRate)
{
    Sections out;
    const double fs = sampleRate;

    const double freq = clampValue(band.freq, 1.0, 0.49 * fs);
    const double w0 = 2.0 * kPi * freq / fs;
    const double omega = 0.5 * fs / freq;   // Nyquist in units of the band frequency
    const double omega2 = omega * omega;

    const double A = std::pow(10.0, std::fabs(band.gainDb) / 40.0);
    const double g = A * A;                 // linear amplitude gain
    const bool cut = band.gainDb < 0.0;

    const bool shelf = band.type == kLowShelf || band.type == kHighShelf;
    const double q = shelf ? clampValue(band.q, 0.1, 2.0) : clampValue(band.q, 0.1, 40.0);

    double a1 = 0.0;
    double a2 = 0.0;

    switch (band.type) {
    case kBell: {
        if (band.gainDb == 0.0)
            return out;
        detail::poles(w0, A * q, a1, a2);
        const double dip = 1.0 - omega2;
        const double nyq = ((A * omega / q) * (A * omega / q) + dip * dip)
                         / ((omega / (A * q)) * (omega / (A * q)) + dip * dip);
        const Section boost = detail::matched(a1, a2, 1.0, nyq, g * g, w0);
        out.section[0] = cut ? reciprocal(boost) : boost;
        out.count = 1;
        return out;
    }
    case kLowShelf:
    case kHighShelf: {
        if (band.gainDb == 0.0)
            return out;
        const double rho = std::sqrt(A);
        detail::poles(w0 / rho, q, a1, a2);
        // Match half-way up the transition when that point is comfortably below Nyquist.
        const bool matchAbove = fs / 4.0 > freq * rho;
        const double rhoM = matchAbove ? rho : 1.0;
        const double wMatch = matchAbove ? w0 * rho : w0;
        const double v = (omega / q) * (omega / q) * A;
        const double c = (rhoM / q) * (rhoM / q) * A;
        const double nyq = g * ((A - omega2) * (A - omega2) + v) / ((1.0 - A * omega2) * (1.0 - A * omega2) + v);
        const double rhoM2 = rhoM * rhoM;
        const double mid = g * ((A - rhoM2) * (A - rhoM2) + c) / ((1.0 - A * rhoM2) * (1.0 - A * rhoM2) + c);
        const Section lowShelf = detail::matched(a1, a2, g * g, nyq, mid, wMatch);
        if (band.type == kLowShelf)
            out.section[0] = cut ? reciprocal(lowShelf) : lowShelf;
        else
            out.section[0] = cut ? scaled(lowShelf, 1.0 / g) : scaled(reciprocal(lowShelf), g);
        out.count = 1;
        return out;
    }
    case kTilt: {
        if (band.gainDb == 0.0)
            return out;
        // Lows up and highs down by half the gain each; inverted for a positive gain.
        const Section lowsUp = detail::firstOrder(g, (omega2 / g + 1.0) * g / (g * omega2 + 1.0), 1.0, w0);
        out.section[0] = cut ? lowsUp : reciprocal(lowsUp);
        out.count = 1;
        return out;
    }
    case kHighPass:
    case kLowPass: {
        const bool highPass = band.type == kHighPass;
        int order = band.slope / 6;
        if (band.slope > 53)
            order = 8;
        if (order < 1)
            order = 1;   // anything below 6 dB/oct is treated as first order
        int n = 0;
        if (band.slope >= 12) {
            for (int k = 0; k < order / 2; ++k) {
                const double sectionQ = 1.0 / (2.0 * std::sin((2 * k + 1) * kPi / (2.0 * order)));
                detail::poles(w0, sectionQ, a1, a2);
                const double dip = 1.0 - omega2;
                const double h = 1.0 / (dip * dip + (omega / sectionQ) * (omega / sectionQ));
                Section s;
                if (highPass) {
                    const double sumNyq = 1.0 - a1 + a2;
                    const double i = std::sqrt(sumNyq * sumNyq * omega2 * omega2 * h);
                    s.b0 = 0.25 * i;
                    s.b1 = -0.5 * i;
                    s.b2 = 0.25 * i;
                    s.a1 = a1;
                    s.a2 = a2;
                } else {
                    s = detail::matched(a1, a2, 1.0, h, sectionQ * sectionQ, w0);
                }
                out.section[n++] = s;
            }
        }
        if (order % 2 == 1 && n < kMaxSections) {
            out.section[n++] = highPass ? detail::firstOrder(0.0, omega2 / (omega2 + 1.0), 0.5, w0)
                                        : detail::firstOrder(1.0, 1.0 / (omega2 + 1.0), 0.5, w0);
        }
        out.count = n;
        return out;
    }
    case kNotch: {
        detail::poles(w0, q, a1, a2);
        const double cosW0 = std::cos(w0);
        const double t = (1.0 + a1 + a2) / (2.0 - 2.0 * cosW0);
        Section s;
        s.b0 = t;
        s.b1 = -2.0 * cosW0 * t;
        s.b2 = t;
        s.a1 = a1;
        s.a2 = a2;
        out.section[0] = s;
        out.count = 1;
        return out;
    }
    default:
        return out;
    }
}

double magnitudeDb(const Section& s, double freqHz, double sampleRate)
{
    const double w = 2.0 * kPi * freqHz / sampleRate;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> num = s.b0 + s.b1 * z1 + s.b2 * z2;
    const std::complex<double> den = 1.0 + s.a1 * z1 + s.a2 * z2;
    const double mag2 = std::norm(num) / std::norm(den);
    return mag2 > 1e-30 ? 10.0 * std::log10(mag2) : -300.0;
}

double magnitudeDb(const Sections& sections, double freqHz, double sampleRate)
{
    double db = 0.0;
    for (int i = 0; i < sections.count; ++i)
        db += magnitudeDb(sections.section[i], freqHz, sampleRate);
    return db < -300.0 ? -300.0 : db;
}

} // namespace fj

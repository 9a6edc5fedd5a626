#pragma once

#include <cmath>

// The Kaiser window of shape beta at position -1 .. 1 (0 outside). Its Bessel function is summed
// from its power series, which for the betas of the filters here (up to about 9) is exact to
// double precision after some thirty terms, and costs a small part of the library's general one:
// a filter table of tens of thousands of taps is made at the start of every recording.
inline double KaiserWindow(double position, double beta) {
    const auto besselI0 = [](double x) {
        const double quarterSquare = x * x / 4.0;
        double term = 1.0;
        double sum = 1.0;
        for (int k = 1; k < 100 && term > sum * 1e-17; ++k) {
            term *= quarterSquare / (static_cast<double>(k) * k);
            sum += term;
        }
        return sum;
    };
    const double inside = 1.0 - position * position;
    return inside <= 0.0 ? 0.0 : besselI0(beta * std::sqrt(inside)) / besselI0(beta);
}

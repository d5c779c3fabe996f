// Arc tangent, sine and cosine, correctly rounded: each returns the double nearest the exact
// value, so the force step and the drawing give the same bits with every C library and on every
// platform. NaN gives the NaN (quietened), atan(±inf) = ±pi/2 rounded, sin and cos of ±inf the
// default NaN of x86 (sign bit set), ±0 and subnormals as the C library gives them (errno is not
// set). Plain double arithmetic only, no table read outside its bounds for any input.
#pragma once

double num_atan(double x);
double num_sin(double x);
double num_cos(double x);
// Both of one argument, from one reduction.
void num_sin_cos(double x, double& sine, double& cosine);

// The two evaluations behind each function, for the tests and benchmarks. hi + lo approximates
// the exact value within the relative bound of number_trig_tables.h; `decided` says the rounding
// test found every value within that bound to round to hi (hi is then the result). The fast
// evaluation decides all but about one input in a few thousand; the accurate one, in
// double-double arithmetic, every input the program can give it (checked exhaustively).
struct NumTrigApprox {
    double hi;
    double lo;
    bool decided;
};
NumTrigApprox num_atan_fast(double x);
NumTrigApprox num_atan_accurate(double x);
NumTrigApprox num_sin_fast(double x);
NumTrigApprox num_sin_accurate(double x);
NumTrigApprox num_cos_fast(double x);
NumTrigApprox num_cos_accurate(double x);

// maths_double.cpp -- sine, cosine, arctangent and whole powers in double precision, the same bits on every build
//
// The C libraries of the three builds (glibc, mingw's, the web's musl) differ in the last bit of some
// sin, cos, atan2 and pow results, and glibc itself picks other code on processors with FMA. The
// scenes turn these into positions and angles every frame, so a different bit could move a cell
// between builds. These use only +, -, x and / (this file is compiled without FMA contraction, so
// every build rounds each step alike) and are within about one unit in the last place, so rounded
// to float, as every caller does, they give glibc's values (tests/gfx3d compare them over the
// arguments the show uses).
#include "gfx3d/gfx3d.h"

#include <cmath>

// ---- types ----

// A double-double number: hi + lo with |lo| at most half a unit in the last place of hi.
struct Double2 {
    double hi, lo;
};

// ---- tables ----

// pi / 2 in three parts: the first two hold 30 bits each, so n x part is exact for |n| < 2^23.
static const double PIO2_1 = 1.570796325802803;
static const double PIO2_2 = 9.920935791635221e-10;
static const double PIO2_3 = 5.170182981794105e-19;
static const double TWO_OVER_PI = 0.6366197723675814;
static const double PIO2_HI = 1.5707963267948966, PIO2_LO = 6.123233995736766e-17;
static const double PI_HI = 3.141592653589793, PI_LO = 1.2246467991473532e-16;

// atan(k / 8) for k = 0..8 as hi + lo, worked out to 80 digits.
static const double ATAN_EIGHTHS[9][2] = {
    {0.0, 0.0},
    {0.12435499454676144, -3.1253241424539383e-18},
    {0.24497866312686414, 1.0698755618734451e-17},
    {0.35877067027057225, -2.4623815582638635e-17},
    {0.4636476090008061, 2.2698777452961687e-17},
    {0.5585993153435624, -5.4556305485916264e-18},
    {0.6435011087932844, 1.5834785051444286e-17},
    {0.7188299996216245, -2.1478388444456983e-17},
    {0.7853981633974483, 3.061616997868383e-17},
};

// ---- internal functions ----

// a + b exactly as hi + lo (Knuth's two-sum).
static Double2 two_sum(double a, double b)
{
    double s = a + b;
    double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// a x b exactly as hi + lo (Dekker's product, no FMA needed).
static Double2 two_prod(double a, double b)
{
    const double SPLIT = 134217729.0;  // 2^27 + 1
    double p = a * b;
    double ta = SPLIT * a, tb = SPLIT * b;
    double ah = ta - (ta - a), al = a - ah;
    double bh = tb - (tb - b), bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

static Double2 mul2(Double2 a, Double2 b)
{
    Double2 p = two_prod(a.hi, b.hi);
    double lo = p.lo + (a.hi * b.lo + a.lo * b.hi);
    double hi = p.hi + lo;
    return {hi, lo - (hi - p.hi)};
}

// sin(r) and cos(r) for |r| <= pi / 4 where r = rh + rl: Taylor series to the 21st and 20th power
// (the first term left out of the series is below 2^-64 of the result), the small tail added last.
static double sin_kernel(double rh, double rl)
{
    double z = rh * rh;
    double tail = z * (-1.0 / 6 + z * (1.0 / 120 + z * (-1.0 / 5040 + z * (1.0 / 362880 + z * (-1.0 / 39916800 +
                  z * (1.0 / 6227020800 + z * (-1.0 / 1307674368000 + z * (1.0 / 355687428096000 +
                  z * (-1.0 / 121645100408832000 + z * (1.0 / 51090942171709440000.0))))))))));
    return rh + (rh * tail + rl * (1.0 - 0.5 * z));
}

static double cos_kernel(double rh, double rl)
{
    double z = rh * rh;
    double tail = z * z * (1.0 / 24 + z * (-1.0 / 720 + z * (1.0 / 40320 + z * (-1.0 / 3628800 + z * (1.0 / 479001600 +
                  z * (-1.0 / 87178291200 + z * (1.0 / 20922789888000 + z * (-1.0 / 6402373705728000 +
                  z * (1.0 / 2432902008176640000.0)))))))));
    double half = 0.5 * z;
    double w = 1.0 - half;
    return w + (((1.0 - w) - half) + (tail - rh * rl));
}

// x - n pi / 2 as rh + rl with n the nearest whole number to x / (pi / 2); returns n mod 4.
static int reduce(double x, double* rh, double* rl)
{
    double n = floor(x * TWO_OVER_PI + 0.5);
    double a = x - n * PIO2_1;  // exact
    Double2 s = two_sum(a, -(n * PIO2_2));
    double lo = s.lo - n * PIO2_3;
    *rh = s.hi + lo;
    *rl = lo - (*rh - s.hi);
    double q = n - 4.0 * floor(n * 0.25);
    return (int)q & 3;
}

// atan(z) for 0 <= z <= 1: from the nearest eighth k / 8, atan(z) = atan(k / 8) + atan(u) with
// u = (z - k/8) / (1 + z k/8), |u| < 1/16, whose series stops below 2^-60 of it.
static double atan_unit(double z)
{
    int k = (int)(z * 8.0 + 0.5);
    double c = k * 0.125;
    double u = (z - c) / (1.0 + z * c);  // z - c exact: z lies within a factor two of c (or c is 0)
    double u2 = u * u;
    double tail = u2 * (-1.0 / 3 + u2 * (1.0 / 5 + u2 * (-1.0 / 7 + u2 * (1.0 / 9 + u2 * (-1.0 / 11 +
                  u2 * (1.0 / 13 + u2 * (-1.0 / 15 + u2 * (1.0 / 17))))))));
    return ATAN_EIGHTHS[k][0] + (ATAN_EIGHTHS[k][1] + (u + u * tail));
}

// ---- public functions ----

double maths_sin(double x)
{
    if (!std::isfinite(x))
        return x - x;
    if (x == 0.0)
        return x;  // keeps the sign of zero
    double rh, rl;
    switch (reduce(x, &rh, &rl)) {
    case 0: return sin_kernel(rh, rl);
    case 1: return cos_kernel(rh, rl);
    case 2: return -sin_kernel(rh, rl);
    default: return -cos_kernel(rh, rl);
    }
}

double maths_cos(double x)
{
    if (!std::isfinite(x))
        return x - x;
    double rh, rl;
    switch (reduce(x, &rh, &rl)) {
    case 0: return cos_kernel(rh, rl);
    case 1: return -sin_kernel(rh, rl);
    case 2: return -cos_kernel(rh, rl);
    default: return sin_kernel(rh, rl);
    }
}

double maths_atan2(double y, double x)
{
    if (std::isnan(x) || std::isnan(y))
        return x + y;
    if (y == 0.0)  // +-0 on the right (x = +0 included), +-pi on the left
        return std::signbit(x) ? std::copysign(PI_HI, y) : y;
    if (x == 0.0 || (std::isinf(y) && !std::isinf(x)))
        return std::copysign(PIO2_HI, y);
    double a;  // atan(|y| / |x|) in 0 .. pi / 2
    if (std::isinf(x))
        a = std::isinf(y) ? PIO2_HI * 0.5 : 0.0;
    else {
        double ay = std::fabs(y), ax = std::fabs(x);
        a = ay <= ax ? atan_unit(ay / ax) : PIO2_HI + (PIO2_LO - atan_unit(ax / ay));
    }
    if (std::signbit(x))
        a = PI_HI + (PI_LO - a);
    return std::copysign(a, y);
}

double maths_pow_int(double x, int n)
{
    // Squares and products in double-double keep the error far below the last bit of the result.
    unsigned m = n < 0 ? 0u - (unsigned)n : (unsigned)n;
    Double2 result = {1.0, 0.0}, square = {x, 0.0};
    while (m) {
        if (m & 1u)
            result = mul2(result, square);
        m >>= 1;
        if (m)
            square = mul2(square, square);
    }
    if (n >= 0)
        return result.hi + result.lo;
    // 1 / (hi + lo): q corrected by the remainder 1 - q (hi + lo), worked out exactly.
    double q = 1.0 / result.hi;
    Double2 p = two_prod(q, result.hi);
    double r = ((1.0 - p.hi) - p.lo) - q * result.lo;
    return q + q * r;
}

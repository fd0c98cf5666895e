// sin, cos and atan of the web build, in place of the C library's. The simulation must
// compute what the native game computes, and the native C library is the reference:
// where the game's arguments are known ahead (whole degrees of a heading, the whole
// numbers of newGame) its results are carried as a table made at build time; any other
// argument gets the correctly rounded result, computed in 128-bit floating point, which
// is what the native library gives in all but very rare cases.
#include <cmath>

#include "web/assets.h"

namespace {

namespace as = web::assets;

// The whole degree a with a·3.14/180 == x exactly, if there is one in the table.
bool wholeDegree(double x, int& a) {
    const double d = std::nearbyint(x * 180 / 3.14);
    if (!(d >= -as::kDegreeRange && d <= as::kDegreeRange)) return false;
    a = static_cast<int>(d);
    return a * 3.14 / 180 == x;
}

bool wholeNumber(double x, int& k) {
    if (!(x >= 0 && x <= as::kWholeRange) || x != std::floor(x)) return false;
    k = static_cast<int>(x);
    return true;
}

} // namespace

extern "C" {

double sin(double x) {
    int a;
    if (wholeDegree(x, a)) return as::sinOfDegree(a);
    if (wholeNumber(x, a)) return as::sinOfWhole(a);
    return static_cast<double>(sinl(static_cast<long double>(x)));
}

double cos(double x) {
    int a;
    if (wholeDegree(x, a)) return as::cosOfDegree(a);
    return static_cast<double>(cosl(static_cast<long double>(x)));
}

double atan(double x) { return static_cast<double>(atanl(static_cast<long double>(x))); }

} // extern "C"

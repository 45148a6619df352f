// QzUseCLibNumber.cpp: the library's number helpers.
// Conversions to integers truncate toward zero whatever the rounding mode: the C++
// conversion always truncates (x86-64 has truncating convert instructions), so no
// mode needs to be set and restored. A value that does not fit, or NaN, gives the
// most negative integer, the value the processor's own conversion produces; the range
// is tested first because converting it in C++ would be undefined.
// Pure functions; no state.
#include <climits>
#include <cmath>

#include "QzUseCLib.h"

void GetSinCos(float angle, float* sinOut, float* cosOut) {
    // Computed wide and rounded once to float, as the processor's instruction did.
    const double a = static_cast<double>(angle);
    *sinOut = static_cast<float>(std::sin(a));
    *cosOut = static_cast<float>(std::cos(a));
}

int GetAbsInt(int value) {
    // Negating in unsigned arithmetic leaves INT_MIN as it is, without overflow.
    if (value >= 0) return value;
    return static_cast<int>(0u - static_cast<unsigned int>(value));
}

float GetAbsFloat(float value) {
    return std::fabs(value);
}

int ConvertFloatToInt(float value) {
    // -2^31 is exact in float; every float below 2^31 truncates into range.
    if (!(value >= -2147483648.0f && value < 2147483648.0f)) return INT_MIN;
    return static_cast<int>(value);
}

int ConvertDoubleToInt(double value) {
    // Anything above -2^31 - 1 truncates to -2^31 or more.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT_MIN;
    return static_cast<int>(value);
}

int64_t ConvertDoubleToInt64(double value) {
    // -2^63 is exact in double and the next double down is 2^10 below it.
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return INT64_MIN;
    return static_cast<int64_t>(value);
}

void ConvertDoubleRectToIntRect(const double in[4], int out[4]) {
    for (int i = 0; i < 4; i++) out[i] = ConvertDoubleToInt(in[i]);
}

float GetSqrtFloat(float value) {
    return std::sqrt(value);
}

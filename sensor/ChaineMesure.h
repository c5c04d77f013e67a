// How a measured value is written for the operator, independent of any locale.
#pragma once

#include <string>

// A value rounded to 7 significant digits, then written with exactly `decimales` digits after a
// full stop (half away from zero), a leading '-' when negative and at least one digit before
// the full stop. A value needing more than 7 digits before the full stop is written in
// scientific notation instead: up to 7 significant digits, trailing zeros dropped, then "E+"
// and the exponent ("1.234568E+10"). A value that has no number (NaN, infinity) reads "err".
// The only full stop of the result is the decimal separator, so a caller may replace it.
std::string ChaineMesure(double valeur, int decimales);

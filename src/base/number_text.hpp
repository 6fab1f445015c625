#pragma once
// A number as the streams write it: the text every table, drawing and page
// of the program shows.

#include <sstream>
#include <string>

namespace tarnvale {

// `value` written by a default output stream, with `precision` significant
// digits for a floating-point value.
template <class T>
std::string NumberText(T value, int precision = 6) {
    std::ostringstream s;
    s.precision(precision);
    s << value;
    return s.str();
}

}  // namespace tarnvale

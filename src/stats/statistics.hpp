#pragma once
// Descriptive statistics and fits over lists of 32-bit floats. Sums are
// accumulated in long double (the x87 80-bit type), element by element in
// index order. Messages go to the stream passed in (standard output in the
// program), each as a line end, the text and a line end.

#include <ostream>
#include <vector>

namespace tarnvale {

using Extended = long double;
using FloatList = std::vector<float>;

// Sum of v in extended precision, in index order.
Extended Sum(const FloatList& v);
// Sum of v[i]^k, each power taken in double and rounded to float first.
Extended SumPow(const FloatList& v, int k);
// Sum of float products x[i]*y[i] over the indices of x, rounded to float.
float SumProduct(const FloatList& x, const FloatList& y);
// Sum(v) / count; not-a-number for an empty list.
Extended Mean(const FloatList& v);
// One-pass sample standard deviation (divisor n-1); 0 for fewer than two
// values; 0 with the message "Error:StdDev(vector<T> v):MSD=0; returning 0"
// when the variance is exactly 0.
double StdDev(const FloatList& v, std::ostream& log);
// Median of a copy of v; 0 for an empty list.
float Median(FloatList v);
// (sum - n*mean) / (sd*sqrt(n)) in the program's float steps; -10000 for an
// empty list.
float GroupScore(const FloatList& v, float mean, float sd);
// True if an element is <= 0 (not-a-number elements do not count).
bool AnyNonPositive(const FloatList& v);
// Least-squares line y = slope*x + intercept. Lists of different length give
// the message "Error: LinearFit: Size of x and y data doesnt agree" and leave
// the outputs unchanged.
void LinearFit(const FloatList& x, const FloatList& y, float& slope, float& intercept,
               std::ostream& log);
// Power law y = coefficient * x^exponent fitted on logarithms; falls back to
// exponent 0, coefficient Mean(y) when a value is <= 0.
void PowerFit(const FloatList& x, const FloatList& y, float& exponent, float& coefficient,
              std::ostream& log);

}  // namespace tarnvale

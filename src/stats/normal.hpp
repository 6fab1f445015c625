#pragma once
// The standard normal distribution in double precision.

namespace tarnvale {

// Quantile: the z with NormCdf(z) = p (Acklam's approximation, unrefined).
// Not-a-number for p outside (0, 1).
double NormInv(double p);
// Distribution function (Cody's rational approximations of erf and erfc),
// accurate in both tails; within [0, 1].
double NormCdf(double x);

}  // namespace tarnvale

#pragma once
// The one value that stands for "no score": the node score of a node without
// data, the score of an empty list and the best score of a state without a
// group. It is never a computed score.

namespace tarnvale {

inline constexpr float kNoScore = -10000.0f;
inline constexpr double kNoData = kNoScore;

}  // namespace tarnvale

#pragma once
// A picture of the reported groups: a Graphviz file with one cluster per
// group, labelled with its rank and score, and the nodes filled by node score
// on one diverging scale (blue below 0, white at 0, red above) with a legend;
// and, when Graphviz's dot program is installed, its SVG rendering.

#include <ostream>
#include <string>
#include <vector>

#include "cli/cytoscape_export.hpp"

namespace tarnvale {

// The fill colour "#rrggbb" of a node score on the scale from -limit (blue)
// through 0 (near white) to +limit (red); scores beyond the limit take the
// end colours. `limit` must be above 0.
std::string ScoreColour(double score, double limit);

// The half-width of the colour scale for these groups: the largest absolute
// node score among their nodes, rounded up to a tenth; 1 when that is 0.
double ScaleLimit(const std::vector<Group>& groups, const NodeMap<double>& nodeScores);
inline double ScaleLimit(const ExportInputs& inputs) {
    return ScaleLimit(inputs.groups, inputs.nodeScores);
}

// Writes the drawing in the DOT language; `title` heads the picture.
void WriteDot(std::ostream& out, const ExportInputs& inputs, const std::string& title);

// What drawing the SVG came to.
struct SvgResult {
    enum class Status { drawn, noProgram, failed };
    Status status = Status::failed;
    std::string reason;  // why it failed
};

// Runs `program` (a Graphviz dot, looked up in PATH) on dotFile and puts its
// SVG under svgFile through a temporary file, so that a failed drawing leaves
// nothing. Its standard error gives the reason of a failure.
SvgResult DrawSvg(const std::string& dotFile, const std::string& svgFile,
                  const std::string& program = "dot");

// Writes BASE.dot (atomically; throws RunError when it cannot be written)
// and draws BASE.svg with dot. A missing dot is told in a NOTE line on `out`,
// a failed drawing in a Warning line; neither stops the run.
void WriteDotFiles(const std::string& base, const ExportInputs& inputs, std::ostream& out);

}  // namespace tarnvale

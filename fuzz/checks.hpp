#pragma once
// Invariant checks on what the program makes of arbitrary input. The fuzz
// targets run them on every input libFuzzer generates; the normal test suite
// runs them on every input that once broke one (tests/data/fuzz_regressions)
// and on the seed corpora.
//
// Each check returns an empty string when every invariant holds, or a
// description of the first one that does not.

#include <string>
#include <string_view>

namespace tarnvale::fuzz {

// The input as a SIF file: every edge end is a node, node names are
// distinct, non-empty and free of separators, every edge value is a finite
// number in [0, 1], every warning names a line of the file; after duplicate
// edge removal no loop or parallel edge is left.
std::string CheckSif(std::string_view data);

// The first line of the input names the nodes (separated by spaces), the
// rest is the association file: every node's list is sorted and holds
// trimmed, non-empty identifiers without tabs; a node without a row has its
// own name; the file is refused only when it has no non-empty line.
std::string CheckAssociation(std::string_view data);

// The input as a p-values file: every stored p-value is finite and strictly
// between 0 and 1, each identifier maps to its first occurrence, identifiers
// hold no tab, line end or NUL, every warning names a line of the file, and
// every node score computed from the table is finite.
std::string CheckPValues(std::string_view data);

// The input split at the byte 0x1E into network, p-values and association
// file, then a whole run with a tiny search: the exit status is 0 or 1, a
// failed run says why and writes no report, a finished run's reports are
// well formed with finite numbers and names from the network, no temporary
// file is left, and every number printed is finite.
std::string CheckPipeline(std::string_view data);

// The separator of the pipeline input's three parts.
inline constexpr char kPartSeparator = '\x1e';

}  // namespace tarnvale::fuzz

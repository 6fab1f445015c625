#pragma once
// Reads the network file in the format its first line shows: a STRING links
// file or a BioGRID file as downloaded, or else SIF; each may also come as
// the one file inside a zip archive.

#include <istream>
#include <ostream>
#include <string>

#include "network/biogrid_reader.hpp"
#include "network/sif_reader.hpp"

namespace tarnvale {

enum class NetworkFormat { sif, string, biogrid };

// How the databases' files are read.
struct NetworkReading {
    double minScore = 0.4;  // STRING: the least combined score, 0 to 1
    BiogridTypes biogridTypes = BiogridTypes::physical;
};

// What was read.
struct NetworkRead {
    NetworkFormat format = NetworkFormat::sif;
    // For a file read as SIF that looks like a STRING or BioGRID file
    // without its header line: a line saying so, for the message when
    // nothing could be read; empty otherwise.
    std::string hint;
};

// Reads `in` from its start (it must rewind with seekg(0)) into the graph:
// a zip archive's only file instead of the archive; then a STRING links file
// (ReadStringLinks) when the first line is a STRING header, a BioGRID file
// (ReadBiogrid) when it is a BioGRID header, and otherwise SIF, exactly as
// SifReader(in, fileName, graph, maps, true, out). A SIF file whose first
// lines look like a STRING or BioGRID file without its header gets a warning
// saying so before it is read. Throws RunError as the readers do.
NetworkRead ReadNetwork(std::istream& in, const std::string& fileName, Graph& graph, SifMaps maps,
                        const NetworkReading& reading, std::ostream& out);

}  // namespace tarnvale

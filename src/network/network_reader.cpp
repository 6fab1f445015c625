#include "network/network_reader.hpp"

#include <memory>
#include <string_view>

#include "base/run_error.hpp"
#include "network/input_text.hpp"
#include "network/string_reader.hpp"
#include "network/zip_input.hpp"

namespace tarnvale {

namespace {

// Back to the start of the stream, which every reader reads from.
void Rewind(std::istream& in, const std::string& fileName) {
    in.clear();
    in.seekg(0);
    if (!in) throw RunError("\nError: " + fileName + " cannot be read again from its start\n", 1);
}

// Which database's file a file read as SIF looks like, when its first lines
// look like one that lost its header line: the database's name and header.
struct Resemblance {
    std::string_view database, header;
};

Resemblance Resembles(std::string_view first, std::string_view second) {
    for (std::string_view line : {first, second}) {
        if (LooksLikeStringLine(line))
            return {"STRING links", "protein1 protein2 ... combined_score"};
        if (LooksLikeBiogridLine(line) || IsBiogridHeader(line))
            return {"BioGRID tab-delimited", "#BioGRID Interaction ID ..."};
    }
    return {};
}

}  // namespace

NetworkRead ReadNetwork(std::istream& in, const std::string& fileName, Graph& graph, SifMaps maps,
                        const NetworkReading& reading, std::ostream& out) {
    char head[4] = {};
    const std::streamsize got = in.rdbuf()->sgetn(head, 4);
    Rewind(in, fileName);
    std::unique_ptr<std::istream> zip;
    if (IsZipStart(std::string_view(head, static_cast<std::size_t>(got > 0 ? got : 0)))) {
        zip = ZipInput(in, fileName);
        out << "NOTE: reading " << ZipMemberName(*zip) << " from the zip archive " << fileName
            << '\n';
    }
    std::istream& text = zip ? *zip : in;

    std::string first, second;
    {
        LineReader lines(text);
        if (lines.Next(first)) lines.Next(second);
    }
    Rewind(text, fileName);

    NetworkRead read;
    if (IsStringHeader(first)) {
        read.format = NetworkFormat::string;
        ReadStringLinks(text, fileName, graph, maps, reading.minScore, out);
    } else if (IsBiogridHeader(first)) {
        read.format = NetworkFormat::biogrid;
        ReadBiogrid(text, fileName, graph, maps, reading.biogridTypes, out);
    } else {
        if (const Resemblance like = Resembles(first, second); !like.database.empty()) {
            const std::string looks = " looks like a " + std::string(like.database) +
                                      " file without its header line \"" +
                                      std::string(like.header) + "\"";
            out << "Warning: " << fileName << ":1: the file" << looks
                << "; it is read as SIF (source, type, target, edge value)\n";
            read.hint = "Error: " + fileName + looks +
                        "; to read it as such, give it back the first line of the downloaded "
                        "file\n";
        }
        SifReader(text, fileName, graph, maps, true, out);
    }
    return read;
}

}  // namespace tarnvale

// Times the reading of an interaction file as the program does it, phase by
// phase, in user CPU seconds (the machine is shared, so wall time says
// little), and prints one "name: value" line per figure:
//
//   read_user_s   opening and reading the file into the graph
//   rde_user_s    removing duplicate edges and loops, compaction included
//   nodes, edges  what the graph holds after that, as a check
//
//   read_bench FILE
//
// Compare read_user_s + rde_user_s with `wc -l FILE` on the same machine.

#include <sys/resource.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "network/edge_types.hpp"
#include "network/input_file.hpp"
#include "network/preparation.hpp"
#include "network/sif_reader.hpp"

namespace {

double UserSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec) * 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    using namespace tarnvale;
    const std::string file = argv[1];
    Graph graph;
    NodeMap<std::string> names;
    EdgeTypes types;
    EdgeMap<float> values;
    std::ostringstream sink;

    const double start = UserSeconds();
    {
        auto in = OpenInput(file);
        SifReader(*in, file, graph, {names, types, values}, true, sink);
    }
    const double read = UserSeconds();
    RDE(graph, sink);
    const double rde = UserSeconds();

    std::printf("read_user_s: %.3f\nrde_user_s: %.3f\nnodes: %zu\nedges: %zu\n", read - start,
                rde - read, graph.NumberOfNodes(), graph.NumberOfEdges());
    return 0;
}

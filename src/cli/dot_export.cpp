#include "cli/dot_export.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <vector>

#include "base/export_file.hpp"
#include "base/number_text.hpp"
#include "base/output_file.hpp"
#include "cli/report.hpp"
#include "search/group_edges.hpp"

extern char** environ;

namespace tarnvale {
namespace {

struct Rgb {
    double r, g, b;
};

// The ends and middle of the red-blue diverging scheme (ColorBrewer RdBu).
constexpr Rgb kLow{33, 102, 172};
constexpr Rgb kMiddle{247, 247, 247};
constexpr Rgb kHigh{178, 24, 43};
// Beyond this share of the limit the fill is dark enough for white text.
constexpr double kDarkFill = 0.6;
constexpr int kLegendSteps = 5;

Rgb Mix(const Rgb& from, const Rgb& to, double t) {
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t,
            from.b + (to.b - from.b) * t};
}

double Share(double score, double limit) { return std::clamp(score / limit, -1.0, 1.0); }

// Lines of text inside double quotes of the DOT language, where labels also
// give the backslash a meaning of its own; "\\n" ends each line but the last.
std::string Quoted(std::initializer_list<std::string> lines) {
    std::string quoted = "\"";
    bool first = true;
    for (const std::string& line : lines) {
        if (!first) quoted += "\\n";
        first = false;
        for (char c : line) {
            if (c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string DotId(NodeId n) { return std::string("n").append(std::to_string(n)); }

std::string FontColour(double score, double limit) {
    return std::abs(Share(score, limit)) > kDarkFill ? "white" : "black";
}

void WriteLegend(std::ostream& out, double limit) {
    out << "  subgraph cluster_legend {\n"
        << "    label=\"node score (z); red: small p-value\";\n"
        << "    style=rounded; color=\"#888888\";\n"
        << "    node [shape=box, width=1.1];\n";
    for (int i = 0; i < kLegendSteps; ++i) {
        const double z = limit * (2.0 * i / (kLegendSteps - 1) - 1.0);
        out << "    legend" << i
            << " [label=" << Quoted({NumberText(z, 3), "p = " + NumberText(NodePValue(z), 2)})
            << ", fillcolor=\"" << ScoreColour(z, limit) << "\", fontcolor=" << FontColour(z, limit)
            << "];\n";
    }
    // Invisible edges within one rank keep the swatches in a row, low to high.
    out << "    { rank=same; ";
    for (int i = 0; i < kLegendSteps; ++i) out << "legend" << i << "; ";
    out << "}\n    ";
    for (int i = 0; i < kLegendSteps; ++i) out << (i > 0 ? " -- " : "") << "legend" << i;
    out << " [style=invis];\n  }\n";
}

}  // namespace

std::string ScoreColour(double score, double limit) {
    const double t = Share(score, limit);
    const Rgb c = t < 0 ? Mix(kMiddle, kLow, -t) : Mix(kMiddle, kHigh, t);
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(std::lround(c.r)),
                  static_cast<unsigned>(std::lround(c.g)), static_cast<unsigned>(std::lround(c.b)));
    return text;
}

double ScaleLimit(const std::vector<Group>& groups, const NodeMap<double>& nodeScores) {
    double largest = 0;
    for (const Group& group : groups)
        for (NodeId n : group.nodes) largest = std::max(largest, std::abs(nodeScores.get(n)));
    // The small allowance keeps a score of exactly 4.2 (42.000000000000004
    // tenths in binary) from rounding up to 4.3.
    const double limit = std::ceil(largest * 10.0 - 1e-9) / 10.0;
    return limit > 0 ? limit : 1.0;
}

void WriteDot(std::ostream& out, const ExportInputs& inputs, const std::string& title) {
    const double limit = ScaleLimit(inputs);
    const auto edges = GroupEdges(inputs.graph, inputs.groups);
    // Groups share no edge, so each is a component of its own; packing them
    // as an array in the order written (the legend first, then the groups in
    // rank order) keeps many groups from making one long row.
    out << "graph tarnvale {\n"
        << "  graph [pack=true, packmode=\"array_u\", fontname=\"Helvetica\", labelloc=t, "
           "fontsize=16, label="
        << Quoted({title + ": " + std::to_string(inputs.groups.size()) +
                   (inputs.groups.size() == 1 ? " group" : " groups") +
                   ", fill colour = node score"})
        << "];\n"
        << "  node [shape=ellipse, style=filled, fontname=\"Helvetica\", fontsize=10];\n"
        << "  edge [color=\"#606060\"];\n";
    WriteLegend(out, limit);
    for (std::size_t g = 0; g < inputs.groups.size(); ++g) {
        const Group& group = inputs.groups[g];
        out << "  subgraph cluster_" << g << " {\n"
            << "    label="
            << Quoted({"Group No. " + std::to_string(g) + ": s-score = " + NumberText(group.score)})
            << ";\n    style=rounded; color=\"#888888\";\n";
        for (NodeId n : group.nodes) {
            const double score = inputs.nodeScores.get(n);
            const std::string& name = inputs.names.at(n);
            // A label goes first, the name the network file gives below it.
            const std::string label = inputs.labels != nullptr ? inputs.labels->at(n) : "";
            out << "    " << DotId(n)
                << " [label=" << (label.empty() ? Quoted({name}) : Quoted({label, name}))
                << ", fillcolor=\"" << ScoreColour(score, limit)
                << "\", fontcolor=" << FontColour(score, limit) << ", tooltip="
                << Quoted({(label.empty() ? name : label + " (" + name + ")") + ": node score " +
                           NumberText(score) + ", p-value " + NumberText(NodePValue(score))})
                << "];\n";
        }
        for (const GroupEdge& e : edges[g]) {
            const float value = inputs.edgeValues.get(e.edge);
            out << "    " << DotId(e.source) << " -- " << DotId(e.target)
                << " [tooltip=" << Quoted({"edge value " + NumberText(value)}) << "];\n";
        }
        out << "  }\n";
    }
    out << "}\n";
}

namespace {

// What dot said on its standard error, read as it comes so that a talkative
// dot cannot block on a full pipe.
bool ReadSome(int fd, std::string& said) {
    std::array<char, 4096> buffer;
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got > 0) said.append(buffer.data(), static_cast<std::size_t>(got));
    return got > 0 || (got < 0 && errno == EINTR);
}

}  // namespace

SvgResult DrawSvg(const std::string& dotFile, const std::string& svgFile,
                  const std::string& program) {
    SvgResult result;
    // dot draws onto its standard output, which is the drawing's own
    // temporary file; until that is renamed into place or removed, the
    // signals that end the program are held, and one that comes meanwhile
    // is passed on to dot, its drawing removed, and then takes effect.
    AtomicOutputFile drawing;
    if (!drawing.Open(svgFile)) {
        result.reason = drawing.openError();
        return result;
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        result.reason = std::strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, drawing.fd(), 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    // A relative name that starts with '-' would be read as an option.
    std::vector<std::string> args{program, "-Tsvg",
                                  dotFile.starts_with('-') ? "./" + dotFile : dotFile};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigmask(&attributes, &drawing.hold().before());
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        result.status =
            spawned == ENOENT ? SvgResult::Status::noProgram : SvgResult::Status::failed;
        result.reason = std::strerror(spawned);
        return result;
    }
    std::string said;
    bool talking = true;
    int wstatus = 0;
    for (;;) {
        if (talking) {
            pollfd ready{pipeEnds[0], POLLIN, 0};
            if (::poll(&ready, 1, 0) > 0) talking = ReadSome(pipeEnds[0], said);
        }
        if (const int signal = drawing.hold().Take(talking ? 20 : 50); signal != 0) {
            ::kill(pid, signal == SIGINT ? SIGINT : SIGTERM);
            while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
            }
            ::close(pipeEnds[0]);
            drawing.Discard();  // the hold ends here too
            ::raise(signal);
            result.reason = "interrupted by signal " + std::to_string(signal);
            return result;
        }
        const pid_t ended = ::waitpid(pid, &wstatus, WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR)) break;
    }
    while (talking) talking = ReadSome(pipeEnds[0], said);
    ::close(pipeEnds[0]);
    if (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0) {
        struct stat st {};
        if (::fstat(drawing.fd(), &st) == 0 && st.st_size == 0) {
            result.reason = "it drew nothing";
            return result;
        }
        if (drawing.Commit(result.reason)) result.status = SvgResult::Status::drawn;
        return result;
    }
    result.reason = said.substr(0, said.find('\n'));
    if (result.reason.empty())
        result.reason = WIFEXITED(wstatus) ? "exit status " + std::to_string(WEXITSTATUS(wstatus))
                                           : "signal " + std::to_string(WTERMSIG(wstatus));
    return result;
}

void WriteDotFiles(const std::string& base, const ExportInputs& inputs, std::ostream& out) {
    const std::string dotFile = base + ".dot";
    const std::string svgFile = base + ".svg";
    const std::string title = std::filesystem::path(base).filename().string();
    WriteExportFile(dotFile, [&](std::ostream& file) { WriteDot(file, inputs, title); });
    const SvgResult svg = DrawSvg(dotFile, svgFile);
    // A drawing of an earlier invocation must not pass for this one's.
    if (svg.status != SvgResult::Status::drawn) {
        std::error_code ignored;
        std::filesystem::remove(svgFile, ignored);
    }
    if (svg.status == SvgResult::Status::noProgram) {
        out << "\nNOTE: the dot program (Debian package graphviz) is not installed; " << svgFile
            << " is not drawn\n";
    } else if (svg.status == SvgResult::Status::failed) {
        out << "\nWarning: dot could not draw " << svgFile << ": " << svg.reason << "; " << dotFile
            << " is written\n";
    }
}

}  // namespace tarnvale

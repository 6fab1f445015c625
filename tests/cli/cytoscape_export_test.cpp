// The Cytoscape files: each group's inside edges with the group number as the
// interaction type, and the node table with the report's numbers.

#include "cli/cytoscape_export.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "base/run_error.hpp"
#include "cli/export_fixture.hpp"
#include "cli/export_file.hpp"
#include "cli/group_edges.hpp"
#include "support/run_binary.hpp"

namespace tarnvale {
namespace {

using testing::ExportFixture;

TEST(GroupEdges, OnlyEdgesWithBothEndsInOneGroupInEdgeOrder) {
    const ExportFixture net;
    const auto edges = GroupEdges(net.graph, net.groups);
    ASSERT_EQ(edges.size(), 2u);
    // C-D and D-E touch a group but leave it.
    EXPECT_EQ(edges[0], (std::vector<EdgeId>{4}));
    EXPECT_EQ(edges[1], (std::vector<EdgeId>{0, 1, 5}));
}

TEST(GroupEdges, HiddenNodesTakeTheirEdgesAlong) {
    ExportFixture net;
    net.graph.HideNode(net.b);
    net.groups[1].nodes = {net.a, net.c};
    EXPECT_EQ(GroupEdges(net.graph, net.groups)[1], (std::vector<EdgeId>{5}));
}

TEST(CytoscapeExport, TheSifListsGroupsBestFirstWithTheirNumberAsType) {
    const ExportFixture net;
    std::ostringstream sif;
    WriteGroupSif(sif, net.Inputs());
    EXPECT_EQ(sif.str(),
              "E\t0\tF\t0.125\n"
              "A\t1\tB\t0.9\n"
              "B\t1\tC\t0.25\n"
              "A\t1\tC\t0.75\n");
}

TEST(CytoscapeExport, TheNodeTableHasAHeaderAndTheReportsNumbers) {
    const ExportFixture net;
    std::ostringstream table;
    WriteNodeTable(table, net.Inputs());
    // p-values: the normal upper tail of each node score.
    EXPECT_EQ(table.str(),
              "name\tgroup\tgroup_score\tnode_score\tp_value\n"
              "E\t0\t4.5\t2.32635\t0.00999994\n"
              "F\t0\t4.5\t0\t0.5\n"
              "A\t1\t2.25\t3.09023\t0.00100001\n"
              "B\t1\t2.25\t1\t0.158655\n"
              "C\t1\t2.25\t-0.5\t0.691462\n");
}

TEST(CytoscapeExport, NoGroupGivesAnEmptyNetworkAndAHeaderOnly) {
    ExportFixture net;
    net.groups.clear();
    std::ostringstream sif, table;
    WriteGroupSif(sif, net.Inputs());
    WriteNodeTable(table, net.Inputs());
    EXPECT_EQ(sif.str(), "");
    EXPECT_EQ(table.str(), "name\tgroup\tgroup_score\tnode_score\tp_value\n");
}

TEST(CytoscapeExport, BothFilesAppearBesideTheReport) {
    const ExportFixture net;
    testing::ScratchDir dir;
    WriteCytoscapeFiles((dir.path() / "outA").string(), net.Inputs());
    EXPECT_EQ(dir.Read("outA.sif").substr(0, 12), "E\t0\tF\t0.125\n");
    EXPECT_EQ(dir.Read("outA.nodes.tsv").substr(0, 5), "name\t");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(ExportFile, AFileThatCannotBeMadeStopsTheRunWithItsNameAndReason) {
    testing::ScratchDir dir;
    const std::string path = (dir.path() / "no" / "outA.sif").string();
    try {
        WriteExportFile(path, [](std::ostream& out) { out << "x"; });
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "\nError: writing " + path + " failed: No such file or directory\n");
        EXPECT_EQ(e.status(), 1);
    }
}

TEST(ExportFile, AFileThatCannotTakeItsNameLeavesNothingBehind) {
    testing::ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "outA.sif");  // in the way of the rename
    const std::string path = (dir.path() / "outA.sif").string();
    try {
        WriteExportFile(path, [](std::ostream& out) { out << "x"; });
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_EQ(std::string(e.what()), "\nError: writing " + path + " failed: Is a directory\n");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace tarnvale

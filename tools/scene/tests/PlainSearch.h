#pragma once

// The metal table against a search of its own: every atom of the structure,
// and its image under every operation of the crystal with shifts of up to
// two cells each way, tested against every Fe, Zn and Mg: donors within the
// limit, images not on an atom of the structure nor on an image found
// before, nearest first, as the table prints them. (No second shell: the
// structures checked here have no donor behind a nearer bonded atom.)

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "MetalSites.h"
#include "Structure.h"

namespace TessaryScene {

// The cells of a table row: runs of two or more spaces part them.
inline std::vector<std::string> TableColumns(const std::string& row) {
    std::vector<std::string> cells(1);
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (row.compare(i, 2, "  ") == 0) {
            while (i + 1 < row.size() && row[i + 1] == ' ') ++i;
            cells.emplace_back();
        } else {
            cells.back() += row[i];
        }
    }
    return cells;
}

// Returns the image ligands found, so callers can tell the check had work to do.
inline int ExpectTableAgreesWithAPlainSearch(const Structure& s) {
    const std::vector<MetalSite> sites = FindMetalSites(s);
    std::ostringstream out;
    PrintMetalTable(s, sites, out);
    std::istringstream table(out.str());
    std::string line;
    std::getline(table, line);  // the header
    std::size_t metals = 0;
    int images = 0;
    const std::vector<Crystal::Operation> identity(1);
    for (std::size_t m = 0; m < s.atoms.size(); ++m) {
        const Atom& metal = s.atoms[m];
        if (!(metal.element == "Fe" || metal.element == "Zn" || metal.element == "Mg")) continue;
        ++metals;
        // (distance in millionths, atom, operation) of each donor, and where it stands.
        std::vector<std::tuple<long long, std::size_t, std::string, double>> near;
        std::vector<Tessary::Point3d> taken;
        // How far each atom may bond to this metal; 0 for atoms that are no donor.
        std::vector<double> limit(s.atoms.size(), 0.0);
        for (std::size_t a = 0; a < s.atoms.size(); ++a) {
            const std::string& e = s.atoms[a].element;
            if (e == "N" || e == "O" || e == "S" || e == "F" || e == "C") limit[a] = LigandLimit(metal.element, e);
            const double d = metal.position.Distance(s.atoms[a].position);
            if (d >= 0.5 && d <= limit[a]) near.emplace_back(std::llround(d * 1e6), a, "", d);
        }
        for (const Crystal::Operation& op : s.crystal.operations) {
            std::array<int, 3> n{};
            for (n[0] = -2; n[0] <= 2; ++n[0])
                for (n[1] = -2; n[1] <= 2; ++n[1])
                    for (n[2] = -2; n[2] <= 2; ++n[2]) {
                        if (op.Triplet(n) == "x,y,z") continue;
                        for (std::size_t a = 0; a < s.atoms.size(); ++a) {
                            if (limit[a] == 0.0) continue;
                            const Tessary::Point3d p = s.crystal.Image(op, n, s.atoms[a].position);
                            const double d = metal.position.Distance(p);
                            if (d < 0.5 || d > limit[a]) continue;
                            const auto at = [&](const Tessary::Point3d& q) { return q.Distance(p) < kSameAtom; };
                            if (std::any_of(s.atoms.begin(), s.atoms.end(), [&](const Atom& b) { return at(b.position); }) ||
                                std::any_of(taken.begin(), taken.end(), at))
                                continue;
                            taken.push_back(p);
                            near.emplace_back(std::llround(d * 1e6), a, op.Triplet(n), d);
                        }
                    }
        }
        std::sort(near.begin(), near.end());
        std::string expected;
        for (const auto& [key, a, image, d] : near) {
            char text[16];
            std::snprintf(text, sizeof text, " %.2f", d);
            expected += (expected.empty() ? "" : ", ") + s.atoms[a].ResidueLabel() + " " + s.atoms[a].name + text;
            if (!image.empty()) {
                expected += " [" + image + "]";
                ++images;
            }
        }
        EXPECT_TRUE(std::getline(table, line));
        const std::vector<std::string> cells = TableColumns(line);
        EXPECT_EQ(cells.size(), 6u) << line;
        if (cells.size() != 6u) continue;
        EXPECT_EQ(cells[0], metal.element);
        EXPECT_EQ(cells[1], metal.ResidueLabel());
        EXPECT_EQ(cells[2], std::to_string(near.size()));
        EXPECT_EQ(cells[5], expected.empty() ? "-" : expected);
    }
    EXPECT_EQ(metals, sites.size());
    EXPECT_FALSE(std::getline(table, line));
    return images;
}

}  // namespace TessaryScene

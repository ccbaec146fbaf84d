#pragma once

// Atom selections: a small expression language every command can take
// (--select), parsed once and evaluated on each structure it applies to.
//
//   chain A            chain name, case-sensitive
//   resi 10-20+35+52A  residue numbers: singles and ranges joined by '+';
//                      negative numbers ("-5--1"); a number alone takes every
//                      insertion code of it, "52A" only that one
//   resn HEM  name CA  residue name, atom name;
//   elem Fe            element symbol as the reader writes it (capital, small)
//                      These four take wildcards '*' and '?' and alternatives
//                      with '|': "name C*", "resn ALA|GLY".
//   polymer protein nucleic ligand water metal hydrogen backbone sidechain
//   all none           classes of atoms (see below)
//   within D of SEL    atoms closer than D angstroms to an atom of SEL
//   byres SEL          whole residues holding an atom of SEL
//   not  and  or  ( )  keywords in any letter case; not binds tightest, then
//                      and, then or; within and byres bind like not, so
//                      "byres chain A and water" is "(byres chain A) and water"
//
// A residue is a run of atoms with the same chain, number, insertion code and
// residue name. protein: polymer residues with a known amino-acid name or both
// N and CA atoms; nucleic: other polymer residues with a known nucleotide name
// or a C1' atom; backbone: N CA C O of amino acids and P OP1 OP2 O5' C5' C4'
// C3' O3' of nucleotides (O1P, O2P and '*' for '\'' in old files);
// sidechain: the other atoms of amino acids, hydrogens included.

#include <string>
#include <vector>

#include "Structure.h"

namespace TessaryScene {

// Parentheses, not, within and byres nested deeper than this are refused, so
// no expression can exhaust the stack.
constexpr int kMaxSelectionDepth = 256;

struct ResidueRange {
    int first = 0, last = 0;
    char firstCode = ' ', lastCode = '~';  // insertion codes bounding the range
};

// A parsed expression: a tree of nodes, the root last. The fields are the
// parser's and the evaluator's; callers only pass the value on.
struct Selection {
    enum class Op {
        All, None, Or, And, Not, Chain, ResidueNumber, ResidueName, AtomName, Element,
        Polymer, Protein, Nucleic, Ligand, Water, Metal, Hydrogen, Backbone, Sidechain, Within, ByResidue
    };
    struct Node {
        Op op = Op::All;
        std::vector<int> children;
        std::string pattern;  // the name filter's regular expression
        std::vector<ResidueRange> ranges;
        double distance = 0.0;
    };
    std::string text;  // as given
    std::vector<Node> nodes;
    int root = -1;
};

// Parses `text`. Throws InputError naming what is wrong and where, counted in
// bytes from 1: "unknown word 'chian' at 1", "missing ')' at 17",
// "bad number 'x' at 6". An empty text is an error too.
Selection ParseSelection(const std::string& text);

// One flag per atom of `structure`, 1 where the atom is selected. Time grows
// linearly with the atoms (times the expression's size); name filters run
// once per distinct value, and `within` builds one neighbour list.
std::vector<char> Select(const Selection& selection, const Structure& structure);

}  // namespace TessaryScene

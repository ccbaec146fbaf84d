#include "Selection.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <unordered_map>

#include "tessary/chemistry/NeighborList.h"
#include "tessary/util/RegExpression.h"

#include "Elements.h"

namespace TessaryScene {

namespace {

using Op = Selection::Op;

struct Token {
    std::string text;
    int position = 0;  // from 1
};

std::vector<Token> Tokenize(const std::string& text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '(' || c == ')') {
            tokens.push_back({std::string(1, static_cast<char>(c)), static_cast<int>(i) + 1});
            ++i;
        } else {
            const std::size_t start = i;
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != '(' &&
                   text[i] != ')')
                ++i;
            tokens.push_back({text.substr(start, i - start), static_cast<int>(start) + 1});
        }
    }
    return tokens;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct Word {
    const char* name;
    Op op;
};
// Words standing alone for a class of atoms.
const Word kClassWords[] = {
    {"all", Op::All},           {"none", Op::None},         {"polymer", Op::Polymer}, {"protein", Op::Protein},
    {"nucleic", Op::Nucleic},   {"ligand", Op::Ligand},     {"water", Op::Water},     {"metal", Op::Metal},
    {"hydrogen", Op::Hydrogen}, {"backbone", Op::Backbone}, {"sidechain", Op::Sidechain},
};
// Words taking a name filter.
const Word kNameWords[] = {
    {"chain", Op::Chain}, {"resn", Op::ResidueName}, {"name", Op::AtomName}, {"elem", Op::Element}};

// A word as an error message quotes it: control bytes (a NUL would end the
// message early) as '?', and a long word cut at a character's start.
std::string Quoted(const std::string& word) {
    constexpr std::size_t kLongest = 40;
    std::size_t size = word.size();
    if (size > kLongest) {
        size = kLongest;
        while (size > 0 && (static_cast<unsigned char>(word[size]) & 0xC0) == 0x80) --size;
    }
    std::string text = "'";
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        text += c < 0x20 || c == 0x7f ? '?' : word[i];
    }
    return text + (size < word.size() ? "...'" : "'");
}

class Parser {
public:
    explicit Parser(const std::string& text) : m_tokens(Tokenize(text)), m_end(static_cast<int>(text.size()) + 1) {
        m_selection.text = text;
    }

    Selection Parse() {
        if (m_tokens.empty()) throw InputError("empty selection");
        const int root = ParseOr();
        if (m_next < m_tokens.size()) Fail("unexpected " + Quoted(m_tokens[m_next].text), m_tokens[m_next].position);
        m_selection.root = root;
        return std::move(m_selection);
    }

private:
    [[noreturn]] static void Fail(const std::string& what, int position) {
        throw InputError(what + " at " + std::to_string(position));
    }

    bool AtKeyword(const char* keyword) const {
        return m_next < m_tokens.size() && Lower(m_tokens[m_next].text) == keyword;
    }
    int Position() const { return m_next < m_tokens.size() ? m_tokens[m_next].position : m_end; }

    int Add(Selection::Node node) {
        m_selection.nodes.push_back(std::move(node));
        return static_cast<int>(m_selection.nodes.size()) - 1;
    }

    // or and and gather their operands into one node, so a long chain of
    // terms nests no deeper than one.
    int ParseOr() { return ParseList(Op::Or, "or", [this] { return ParseAnd(); }); }
    int ParseAnd() { return ParseList(Op::And, "and", [this] { return ParseUnary(); }); }

    template <class F>
    int ParseList(Op op, const char* keyword, F operand) {
        Selection::Node node;
        node.op = op;
        node.children.push_back(operand());
        while (AtKeyword(keyword)) {
            ++m_next;
            node.children.push_back(operand());
        }
        return node.children.size() == 1 ? node.children.front() : Add(std::move(node));
    }

    // Entered for every level of parentheses, not, within and byres.
    struct Deeper {
        Parser& parser;
        Deeper(Parser& p, int position) : parser(p) {
            if (++parser.m_depth > kMaxSelectionDepth)
                Fail("nesting deeper than " + std::to_string(kMaxSelectionDepth), position);
        }
        ~Deeper() { --parser.m_depth; }
    };

    const Token& Need(const std::string& what) {
        if (m_next >= m_tokens.size() || m_tokens[m_next].text == "(" || m_tokens[m_next].text == ")")
            Fail(what, Position());
        return m_tokens[m_next++];
    }

    int ParseUnary() {
        if (m_next >= m_tokens.size()) Fail("expected a selection", m_end);
        const Token& token = m_tokens[m_next];
        if (token.text == ")") Fail("unexpected ')'", token.position);
        const Deeper deeper(*this, token.position);
        if (token.text == "(") {
            ++m_next;
            const int inner = ParseOr();
            if (m_next >= m_tokens.size() || m_tokens[m_next].text != ")") Fail("missing ')'", Position());
            ++m_next;
            return inner;
        }
        const std::string word = Lower(token.text);
        ++m_next;
        Selection::Node node;
        if (word == "not" || word == "byres") {
            node.op = word == "not" ? Op::Not : Op::ByResidue;
            node.children.push_back(ParseUnary());
            return Add(std::move(node));
        }
        if (word == "within") {
            node.op = Op::Within;
            const Token& value = Need("'within' needs a distance");
            char* end = nullptr;
            node.distance = std::strtod(value.text.c_str(), &end);
            if (end != value.text.c_str() + value.text.size() || !std::isfinite(node.distance) || node.distance <= 0)
                Fail("bad distance " + Quoted(value.text), value.position);
            if (!AtKeyword("of")) Fail("expected 'of'", Position());
            ++m_next;
            node.children.push_back(ParseUnary());
            return Add(std::move(node));
        }
        if (word == "resi") {
            node.op = Op::ResidueNumber;
            const Token& value = Need("'resi' needs a value");
            node.ranges = ParseRanges(value);
            return Add(std::move(node));
        }
        for (const Word& w : kNameWords)
            if (word == w.name) {
                node.op = w.op;
                const Token& value = Need("'" + word + "' needs a value");
                node.pattern = NamePattern(value);
                return Add(std::move(node));
            }
        for (const Word& w : kClassWords)
            if (word == w.name) {
                node.op = w.op;
                return Add(std::move(node));
            }
        Fail("unknown word " + Quoted(token.text), token.position);
    }

    // "-5", "52A": a number and an optional insertion code; false when the
    // text is not that. `code` stays untouched without one.
    static bool ParseResidue(const std::string& text, int& number, char& code) {
        std::size_t i = text.size();
        if (i > 0 && std::isalpha(static_cast<unsigned char>(text.back()))) --i;
        const std::string digits = text.substr(0, i);
        if (digits.empty() || digits == "-") return false;
        for (std::size_t k = digits[0] == '-' ? 1 : 0; k < digits.size(); ++k)
            if (!std::isdigit(static_cast<unsigned char>(digits[k]))) return false;
        errno = 0;
        const long value = std::strtol(digits.c_str(), nullptr, 10);
        if (errno != 0 || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
            return false;
        number = static_cast<int>(value);
        if (i < text.size()) code = text.back();
        return true;
    }

    static std::vector<ResidueRange> ParseRanges(const Token& token) {
        std::vector<ResidueRange> ranges;
        std::size_t start = 0;
        while (true) {
            const std::size_t plus = token.text.find('+', start);
            const std::string item = token.text.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
            ResidueRange range;
            // The dash between the ends is the first one after a digit.
            std::size_t dash = std::string::npos;
            for (std::size_t k = 1; k < item.size(); ++k)
                if (item[k] == '-' && std::isalnum(static_cast<unsigned char>(item[k - 1]))) {
                    dash = k;
                    break;
                }
            bool ok;
            if (dash == std::string::npos) {
                ok = ParseResidue(item, range.first, range.firstCode);
                range.last = range.first;
                if (ok && range.firstCode != ' ') range.lastCode = range.firstCode;
            } else {
                ok = ParseResidue(item.substr(0, dash), range.first, range.firstCode) &&
                     ParseResidue(item.substr(dash + 1), range.last, range.lastCode);
            }
            if (!ok) Fail("bad number " + Quoted(token.text), token.position);
            ranges.push_back(range);
            if (plus == std::string::npos) return ranges;
            start = plus + 1;
        }
    }

    // The name filter's expression for a value with shell wildcards and '|'
    // alternatives; every other character stands for itself.
    static std::string NamePattern(const Token& token) {
        std::string pattern;
        std::size_t alternative = 0;
        for (char c : token.text) {
            if (c == '|') {
                if (alternative == 0) Fail("bad name " + Quoted(token.text), token.position);
                alternative = 0;
                pattern += c;
                continue;
            }
            ++alternative;
            if (c == '*') pattern += ".*";
            else if (c == '?') pattern += '.';
            else if (std::string(".+^$[]\\&{}").find(c) != std::string::npos) pattern += std::string("\\") + c;
            else pattern += c;
        }
        if (alternative == 0) Fail("bad name " + Quoted(token.text), token.position);
        return pattern;
    }

    std::vector<Token> m_tokens;
    std::size_t m_next = 0;
    int m_end;
    int m_depth = 0;
    Selection m_selection;
};

bool Finite(const Tessary::Point3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

bool InRange(const Atom& atom, const ResidueRange& r) {
    const auto key = std::make_pair(atom.residueNumber, atom.insertionCode);
    return std::make_pair(r.first, r.firstCode) <= key && key <= std::make_pair(r.last, r.lastCode);
}

bool OneOf(const std::string& name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

bool AminoAcidName(const std::string& name) {
    return OneOf(name, {"ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY", "HIS", "ILE", "LEU", "LYS",
                        "MET", "PHE", "PRO", "SER", "THR", "TRP", "TYR", "VAL", "MSE", "SEC", "PYL", "HSD",
                        "HSE", "HSP", "HID", "HIE", "HIP", "CYX", "ASH", "GLH", "LYN", "UNK"});
}

bool NucleotideName(const std::string& name) {
    return OneOf(name, {"A", "C", "G", "U", "T", "I", "N", "DA", "DC", "DG", "DT", "DU", "DI", "DN"});
}

bool AminoBackboneName(const std::string& name) { return OneOf(name, {"N", "CA", "C", "O"}); }

bool NucleotideBackboneName(const std::string& name) {
    return OneOf(name, {"P", "OP1", "OP2", "O5'", "C5'", "C4'", "C3'", "O3'", "O1P", "O2P", "O5*", "C5*", "C4*",
                        "C3*", "O3*"});
}

class Evaluator {
public:
    Evaluator(const Selection& selection, const Structure& structure)
        : m_selection(selection), m_atoms(structure.atoms), m_count(structure.atoms.size()) {}

    void Evaluate(int index, std::vector<char>& out) {
        const Selection::Node& node = m_selection.nodes[static_cast<std::size_t>(index)];
        out.assign(m_count, 0);
        switch (node.op) {
            case Op::All: std::fill(out.begin(), out.end(), 1); break;
            case Op::None: break;
            case Op::Or:
            case Op::And: {
                Evaluate(node.children.front(), out);
                std::vector<char> other;
                for (std::size_t k = 1; k < node.children.size(); ++k) {
                    Evaluate(node.children[k], other);
                    for (std::size_t i = 0; i < m_count; ++i)
                        out[i] = node.op == Op::Or ? (out[i] | other[i]) : (out[i] & other[i]);
                }
                break;
            }
            case Op::Not:
                Evaluate(node.children.front(), out);
                for (char& c : out) c = !c;
                break;
            case Op::Chain: MatchNames(node.pattern, &Atom::chain, out); break;
            case Op::ResidueName: MatchNames(node.pattern, &Atom::residueName, out); break;
            case Op::AtomName: MatchNames(node.pattern, &Atom::name, out); break;
            case Op::Element: MatchNames(node.pattern, &Atom::element, out); break;
            case Op::ResidueNumber:
                for (std::size_t i = 0; i < m_count; ++i)
                    out[i] = !m_atoms[i].residueName.empty() &&
                             std::any_of(node.ranges.begin(), node.ranges.end(),
                                         [&](const ResidueRange& r) { return InRange(m_atoms[i], r); });
                break;
            case Op::Polymer: Each(out, [](const Atom& a) { return a.residueKind == ResidueKind::Polymer; }); break;
            case Op::Ligand: Each(out, [](const Atom& a) { return a.residueKind == ResidueKind::Ligand; }); break;
            case Op::Water: Each(out, [](const Atom& a) { return a.residueKind == ResidueKind::Water; }); break;
            case Op::Metal: Each(out, [](const Atom& a) { return LookupElement(a.element).metal; }); break;
            case Op::Hydrogen: Each(out, [](const Atom& a) { return LookupElement(a.element).hydrogen; }); break;
            case Op::Protein:
            case Op::Nucleic:
            case Op::Backbone:
            case Op::Sidechain: {
                const std::vector<char>& kinds = ResidueClasses();
                for (std::size_t i = 0; i < m_count; ++i) {
                    const std::string& name = m_atoms[i].name;
                    const bool protein = kinds[i] == kProtein, nucleic = kinds[i] == kNucleic;
                    if (node.op == Op::Protein) out[i] = protein;
                    else if (node.op == Op::Nucleic) out[i] = nucleic;
                    else if (node.op == Op::Sidechain) out[i] = protein && !AminoBackboneName(name);
                    else out[i] = (protein && AminoBackboneName(name)) || (nucleic && NucleotideBackboneName(name));
                }
                break;
            }
            case Op::Within: Within(node, out); break;
            case Op::ByResidue: {
                std::vector<char> inner;
                Evaluate(node.children.front(), inner);
                const std::vector<std::size_t>& starts = ResidueStarts();
                for (std::size_t r = 0; r + 1 < starts.size(); ++r) {
                    const auto first = inner.begin() + static_cast<std::ptrdiff_t>(starts[r]);
                    const auto last = inner.begin() + static_cast<std::ptrdiff_t>(starts[r + 1]);
                    if (std::find(first, last, 1) != last)
                        std::fill(out.begin() + (first - inner.begin()), out.begin() + (last - inner.begin()), 1);
                }
                break;
            }
        }
    }

private:
    static constexpr char kProtein = 1, kNucleic = 2;

    template <class F>
    void Each(std::vector<char>& out, F test) const {
        for (std::size_t i = 0; i < m_count; ++i) out[i] = test(m_atoms[i]);
    }

    // The filter runs once per distinct value: a structure has few names.
    void MatchNames(const std::string& pattern, std::string Atom::*field, std::vector<char>& out) const {
        Tessary::RegExpression filter(pattern.c_str(), false);
        std::unordered_map<std::string, char> seen;
        for (std::size_t i = 0; i < m_count; ++i) {
            const std::string& value = m_atoms[i].*field;
            auto found = seen.find(value);
            if (found == seen.end()) {
                const char match = !value.empty() && filter.Match(Tessary::CString(value.c_str(), static_cast<int>(value.size())), true);
                found = seen.emplace(value, match).first;
            }
            out[i] = found->second;
        }
    }

    // Where each residue starts, and the atom count at the end.
    const std::vector<std::size_t>& ResidueStarts() {
        if (!m_residueStarts.empty()) return m_residueStarts;
        for (std::size_t i = 0; i < m_count; ++i) {
            const Atom& a = m_atoms[i];
            const bool same = i > 0 && a.chain == m_atoms[i - 1].chain && a.residueNumber == m_atoms[i - 1].residueNumber &&
                              a.insertionCode == m_atoms[i - 1].insertionCode &&
                              a.residueName == m_atoms[i - 1].residueName;
            if (!same) m_residueStarts.push_back(i);
        }
        m_residueStarts.push_back(m_count);
        return m_residueStarts;
    }

    // kProtein or kNucleic per atom, by its residue; 0 for the rest.
    const std::vector<char>& ResidueClasses() {
        if (!m_classes.empty() || m_count == 0) return m_classes;
        m_classes.assign(m_count, 0);
        const std::vector<std::size_t>& starts = ResidueStarts();
        for (std::size_t r = 0; r + 1 < starts.size(); ++r) {
            const Atom& head = m_atoms[starts[r]];
            if (head.residueKind != ResidueKind::Polymer) continue;
            bool n = false, ca = false, c1 = false;
            for (std::size_t i = starts[r]; i < starts[r + 1]; ++i) {
                const std::string& name = m_atoms[i].name;
                n |= name == "N";
                ca |= name == "CA";
                c1 |= name == "C1'" || name == "C1*";
            }
            char kind = 0;
            if (AminoAcidName(head.residueName) || (n && ca)) kind = kProtein;
            else if (NucleotideName(head.residueName) || c1) kind = kNucleic;
            std::fill(m_classes.begin() + static_cast<std::ptrdiff_t>(starts[r]),
                      m_classes.begin() + static_cast<std::ptrdiff_t>(starts[r + 1]), kind);
        }
        return m_classes;
    }

    void Within(const Selection::Node& node, std::vector<char>& out) {
        std::vector<char> inner;
        Evaluate(node.children.front(), inner);
        // A distance beyond the atoms' whole extent reaches every atom: one
        // cell would then hold them all and the search grow with their square.
        double low[3], high[3];
        for (int k = 0; k < 3; ++k) {
            low[k] = std::numeric_limits<double>::infinity();
            high[k] = -low[k];
        }
        bool any = false;
        for (std::size_t i = 0; i < m_count; ++i) {
            const Tessary::Point3d& p = m_atoms[i].position;
            if (!Finite(p)) continue;
            any |= inner[i] != 0;
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], static_cast<double>(p[k]));
                high[k] = std::max(high[k], static_cast<double>(p[k]));
            }
        }
        if (!any) return;
        double extent2 = 0;
        for (int k = 0; k < 3; ++k) extent2 += (high[k] - low[k]) * (high[k] - low[k]);
        const bool everywhere = node.distance * node.distance > extent2;
        Tessary::NeighborList list(node.distance, static_cast<int>(std::min<std::size_t>(m_count, 1 << 20)) + 1);
        if (!everywhere)
            for (std::size_t i = 0; i < m_count; ++i)
                if (inner[i]) list.Add(m_atoms[i].position);
        Tessary::IntArray found;
        for (std::size_t i = 0; i < m_count; ++i) {
            const Tessary::Point3d& p = m_atoms[i].position;
            if (!Finite(p)) continue;
            if (everywhere) {
                out[i] = 1;
                continue;
            }
            found.RemoveAll();
            out[i] = list.GetNeighbors(p, node.distance, found) >= 0;
        }
    }

    const Selection& m_selection;
    const std::vector<Atom>& m_atoms;
    std::size_t m_count;
    std::vector<std::size_t> m_residueStarts;
    std::vector<char> m_classes;
};

}  // namespace

Selection ParseSelection(const std::string& text) { return Parser(text).Parse(); }

std::vector<char> Select(const Selection& selection, const Structure& structure) {
    std::vector<char> out;
    if (selection.root < 0) return std::vector<char>(structure.atoms.size(), 0);
    Evaluator(selection, structure).Evaluate(selection.root, out);
    return out;
}

}  // namespace TessaryScene

// tessary-scene: the reference host. Reads a structure, builds the display
// list a viewer would, and renders, picks, tabulates metal sites,
// superposes, archives or summarises it; renders stored scene files too.
// Bad input ends with one line on stderr and exit code 2.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tessary/frame/CArchive.h"

#include "Files.h"
#include "MetalSites.h"
#include "Pick.h"
#include "Render.h"
#include "Scene.h"
#include "Selection.h"
#include "SceneArchive.h"
#include "Structure.h"
#include "Superpose.h"
#include "View.h"

using namespace TessaryScene;
using Tessary::Point3d;

namespace {

const char kUsage[] =
    "usage: tessary-scene COMMAND ...\n"
    "\n"
    "commands:\n"
    "  render FILE -o OUT     draw the scene to OUT (.png, .svg or .pdf); FILE may be a scene file\n"
    "  pick FILE --at X,Y     the atom or bond under pixel X,Y of the same view\n"
    "  metals FILE            one row per metal site with its coordination geometry\n"
    "  superpose A B          C-alpha RMSD of B fitted onto A (XYZ: all atoms, by index)\n"
    "  superpose FILE --models  every model fitted onto model 1\n"
    "  archive FILE -o SCENE  store the scene, reload, compare, store again\n"
    "  archive --check SCENE  reload a stored scene and store it again\n"
    "  info FILE              chains, atoms, secondary structure, bonds, metal sites, primitive counts\n"
    "\n"
    "FILE is PDB (.pdb, .ent), mmCIF or small-molecule CIF (.cif) or XYZ (.xyz),\n"
    "optionally gzipped.\n"
    "Every command reading FILE takes --max-input-mb N: the largest text read,\n"
    "in MB once decompressed (default 1024), and --assembly N: biological assembly N.\n"
    "Metal shells are completed from symmetry mates where FILE has a crystal cell.\n"
    "Run tessary-scene COMMAND --help for the options of a command.\n";

const char kSceneOptions[] =
    "  --model N              model (or XYZ frame) to read, from 1 (default 1)\n"
    "  --style STYLE          ball-and-stick (default) or spacefill\n"
    "  --color SCHEME         element (default), chain, bfactor (with a legend of the colours) or\n"
    "                         ss: secondary structure, helix red, strand yellow, coil and the rest grey\n"
    "  --ss SOURCE            secondary structure from the file's HELIX/SHEET records (file, the\n"
    "                         default; computed from backbone H-bonds when it has none) or compute\n"
    "  --labels SET           metals (default), all (metals and their ligands' donor atoms) or none;\n"
    "                         labels that find no free spot beside their atom are left out (counted on stderr)\n"
    "  --ellipsoids           displacement tensors as probability ellipsoids (the default\n"
    "                         for small-molecule CIF files)\n"
    "  --no-ellipsoids        spheres even where tensors are given (the default for\n"
    "                         macromolecules)\n"
    "  --probability P        of the atom lying inside its ellipsoid, 0 < P < 1 (default 0.5)\n"
    "  --timings              print read, build, pick-dot and render times\n";
const char kReadOptions[] =
    "  --max-input-mb N       largest structure text read, in MB once decompressed (default 1024)\n"
    "  --assembly N           build biological assembly N of the file, from 1 (REMARK 350,\n"
    "                         pdbx_struct_assembly); copies get chain names of their own\n";
const char kSelectOptions[] =
    "  --select SEL           only the atoms SEL selects (info counts them, metals lists their\n"
    "                         sites, superpose fits them). Words, keywords in any case:\n"
    "                           chain A  resi 10-20+52A  resn HEM  name CA  elem Fe\n"
    "                             (names take '*', '?' and alternatives: name C*, resn ALA|GLY)\n"
    "                           polymer protein nucleic ligand water metal hydrogen\n"
    "                           backbone sidechain all none\n"
    "                           within D of SEL  byres SEL  not  and  or  ( )\n"
    "                         not, within and byres bind tightest, then and, then or\n";
const char kViewOptions[] =
    "  --view X,Y,Z           turn the structure about x, y, z in degrees, each within\n"
    "                         -36000..36000 (default 0,0,0)\n"
    "  --size WxH             picture size in pixels, each side 16 to 16384 and at most\n"
    "                         67108864 pixels (8192x8192) in all (default 1200x900)\n"
    "  --slab D               show only a slab D angstroms deep around the centre\n"
    "                         (0 < D <= 1000000)\n";

struct CommandHelp {
    const char* synopsis;
    bool scene;
    bool view;
};
const std::map<std::string, CommandHelp> kCommands = {
    {"render", {"render FILE -o OUT.png|OUT.svg|OUT.pdf [options]\n"
                "  a scene file (from archive) is drawn as stored, with --view, --size and --timings;\n"
                "  archived with the same options it gives the structure's picture, pixel for pixel",
                true, true}},
    {"pick", {"pick FILE --at X,Y [options]\n  exit code 1 when nothing lies under the pixel", true, true}},
    {"metals", {"metals FILE [--model N] [--assembly N] [--select SEL]\n"
                "  a ligand from a symmetry mate of the crystal is followed by its operation:\n"
                "  GLU 44 B OE1 2.05 [-x+1,y,-z] (the triplet, whole-cell shifts folded in)",
                false, false}},
    {"superpose", {"superpose A B [--model N] [--chain ID | --chains IDA,IDB] [--select SEL]  |  superpose FILE --models [--chain ID] [--select SEL]\n"
                   "  C-alpha atoms pair by chain and residue number (by residue number in the first\n"
                   "  chain of each when no chain name is shared); XYZ frames pair all atoms by index\n"
                   "  and need the same atom count\n"
                   "  --chain ID             fit chain ID alone, in every file or model\n"
                   "  --chains IDA,IDB       fit chain IDA of A with chain IDB of B, by residue number",
                   false, false}},
    {"archive", {"archive FILE -o SCENE.bin [options]  |  archive --check SCENE.bin\n"
                 "  stores the scene render would draw: the title across --size, the --slab cut for --view",
                 true, true}},
    {"info", {"info FILE [options] [--select SEL]", true, false}},
};

void PrintCommandHelp(const std::string& command) {
    const CommandHelp& help = kCommands.at(command);
    std::cout << "usage: tessary-scene " << help.synopsis << "\n";
    std::cout << "\noptions:\n";
    if (help.scene) std::cout << kSceneOptions;
    std::cout << kReadOptions;
    if (help.view) std::cout << kViewOptions;
    if (command == "info" || command == "metals" || command == "superpose") std::cout << kSelectOptions;
}

// ---- options ------------------------------------------------------------------

constexpr double kMaxAngle = 36000;  // degrees: a hundred turns
constexpr double kMaxSlab = 1e6;     // angstroms

struct Options {
    std::vector<std::string> files;
    std::string output;
    int model = 1;
    int assembly = 0;  // none
    int maxInputMegabytes = kDefaultMaxInputMegabytes;
    SceneOptions scene;
    double view[3] = {0, 0, 0};
    bool slab = false;
    double slabDepth = 0;
    bool hasAt = false;
    double at[2] = {0, 0};
    bool models = false;
    ChainChoice chains;  // superpose --chain, --chains
    bool check = false;
    bool hasSelection = false;
    Selection selection;  // --select
    bool timings = false;
    bool help = false;
    // The first option given that builds a scene from a structure: a scene file is built already.
    std::string buildOption;
};

double ParseNumber(const std::string& text, const std::string& option) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(v))
        throw InputError("bad value for " + option + ": '" + text + "'");
    return v;
}

// The value `text` names among `choices`; otherwise an error listing them in order.
template <class T>
T ParseChoice(const std::string& text, const std::string& option,
              std::initializer_list<std::pair<const char*, T>> choices) {
    std::string names;
    std::size_t k = 0;
    for (const auto& [word, choice] : choices) {
        if (text == word) return choice;
        names += (k == 0 ? "" : k + 1 == choices.size() ? " or " : ", ") + std::string(word);
        ++k;
    }
    throw InputError("bad value for " + option + ": '" + text + "' (" + names + ")");
}

// "a,b,c" (or "WxH" with separator 'x') into exactly `count` numbers.
std::vector<double> ParseList(const std::string& text, char separator, std::size_t count, const std::string& option) {
    std::vector<double> values;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, separator)) values.push_back(ParseNumber(field, option));
    if (values.size() != count || (!text.empty() && text.back() == separator))
        throw InputError("bad value for " + option + ": '" + text + "'");
    return values;
}

std::string FormatNumber(double v) {
    std::ostringstream text;
    text << v;
    return text.str();
}

int ParseInt(const std::string& text, const std::string& option, int low, int high) {
    const double v = ParseNumber(text, option);
    if (v != std::floor(v) || v < low || v > high)
        throw InputError("bad value for " + option + ": '" + text + "' (a whole number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ")");
    return static_cast<int>(v);
}

Options ParseOptions(const std::string& command, int argc, char** argv) {
    Options o;
    const CommandHelp& help = kCommands.at(command);
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw InputError(arg + " needs a value");
            return argv[++i];
        };
        auto sceneOnly = [&] {
            if (!help.scene) throw InputError(command + " has no option " + arg);
        };
        // A scene-building option: refused by commands without a scene, and
        // remembered, since a stored scene file is built already.
        auto buildsScene = [&] {
            sceneOnly();
            if (o.buildOption.empty()) o.buildOption = arg;
        };
        auto viewOnly = [&] {
            if (!help.view) throw InputError(command + " has no option " + arg);
        };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "-o" || arg == "--output") {
            if (command != "render" && command != "archive") throw InputError(command + " has no option " + arg);
            o.output = value();
        } else if (arg == "--model") {
            o.model = ParseInt(value(), arg, 1, 1000000);
            if (o.buildOption.empty()) o.buildOption = arg;
        } else if (arg == "--assembly") {
            o.assembly = ParseInt(value(), arg, 1, 1000000);
            if (o.buildOption.empty()) o.buildOption = arg;
        } else if (arg == "--max-input-mb") {
            o.maxInputMegabytes = ParseInt(value(), arg, 1, 1 << 20);
        } else if (arg == "--style") {
            buildsScene();
            o.scene.style = ParseChoice<Style>(value(), arg, {{"ball-and-stick", Style::BallAndStick}, {"spacefill", Style::Spacefill}});
        } else if (arg == "--color") {
            buildsScene();
            o.scene.coloring = ParseChoice<Coloring>(value(), arg,
                                                     {{"element", Coloring::Element},
                                                      {"chain", Coloring::Chain},
                                                      {"bfactor", Coloring::BFactor},
                                                      {"ss", Coloring::SecondaryStructure}});
        } else if (arg == "--ss") {
            buildsScene();
            o.scene.secondary = ParseChoice<SecondarySource>(
                value(), arg, {{"file", SecondarySource::FromFile}, {"compute", SecondarySource::Computed}});
        } else if (arg == "--labels") {
            buildsScene();
            o.scene.labels = ParseChoice<LabelSet>(
                value(), arg, {{"all", LabelSet::All}, {"metals", LabelSet::Metals}, {"none", LabelSet::None}});
        } else if (arg == "--ellipsoids" || arg == "--no-ellipsoids") {
            buildsScene();
            o.scene.ellipsoids = arg == "--ellipsoids" ? Ellipsoids::On : Ellipsoids::Off;
        } else if (arg == "--probability") {
            buildsScene();
            const std::string text = value();
            o.scene.probability = ParseNumber(text, arg);
            if (!(o.scene.probability > 0 && o.scene.probability < 1))
                throw InputError("bad value for --probability: '" + text + "' (above 0 and below 1, e.g. 0.5)");
        } else if (arg == "--timings") {
            sceneOnly();
            o.timings = true;
        } else if (arg == "--view") {
            viewOnly();
            const std::string text = value();
            const auto v = ParseList(text, ',', 3, arg);
            for (int k = 0; k < 3; ++k) {
                o.view[k] = v[static_cast<std::size_t>(k)];
                if (std::fabs(o.view[k]) > kMaxAngle)
                    throw InputError("bad value for --view: '" + text + "' (each angle within -36000..36000 degrees)");
            }
        } else if (arg == "--size") {
            viewOnly();
            const std::string text = value();
            const auto v = ParseList(text, 'x', 2, arg);
            for (double d : v)
                if (d != std::floor(d) || d < 16 || d > 16384)
                    throw InputError("bad value for --size: '" + text + "' (WxH, each 16 to 16384)");
            if (v[0] * v[1] > static_cast<double>(kMaxPixels))
                throw InputError("bad value for --size: '" + text + "' (at most " + std::to_string(kMaxPixels) +
                                 " pixels in all)");
            o.scene.width = static_cast<int>(v[0]);
            o.scene.height = static_cast<int>(v[1]);
        } else if (arg == "--slab") {
            viewOnly();
            const std::string text = value();
            o.slabDepth = ParseNumber(text, arg);
            if (o.slabDepth <= 0 || o.slabDepth > kMaxSlab)
                throw InputError("bad value for --slab: '" + text + "' (a depth above 0, at most 1000000)");
            o.slab = true;
        } else if (arg == "--at") {
            if (command != "pick") throw InputError(command + " has no option " + arg);
            const auto v = ParseList(value(), ',', 2, arg);
            o.at[0] = v[0];
            o.at[1] = v[1];
            o.hasAt = true;
        } else if (arg == "--models") {
            if (command != "superpose") throw InputError(command + " has no option " + arg);
            o.models = true;
        } else if (arg == "--chain" || arg == "--chains") {
            if (command != "superpose") throw InputError(command + " has no option " + arg);
            if (!o.chains.fixed.empty()) throw InputError("--chain and --chains are given once");
            const std::string text = value();
            const std::size_t comma = text.find(',');
            if (arg == "--chain") o.chains = {text, text};
            else if (comma != std::string::npos) o.chains = {text.substr(0, comma), text.substr(comma + 1)};
            if (o.chains.fixed.empty() || o.chains.moving.empty() || o.chains.moving.find(',') != std::string::npos ||
                (arg == "--chain" && comma != std::string::npos))
                throw InputError("bad value for " + arg + ": '" + text + "' (" +
                                 (arg == "--chain" ? "a chain name" : "two chain names, IDA,IDB") + ")");
        } else if (arg == "--select") {
            if (command != "info" && command != "metals" && command != "superpose")
                throw InputError(command + " has no option " + arg);
            if (o.hasSelection) throw InputError("--select is given once");
            o.selection = ParseSelection(value());
            o.hasSelection = true;
        } else if (arg == "--check") {
            if (command != "archive") throw InputError(command + " has no option " + arg);
            o.check = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw InputError("unknown option " + arg + " (see tessary-scene " + command + " --help)");
        } else {
            o.files.push_back(arg);
        }
    }
    return o;
}

void ExpectFiles(const Options& o, const std::string& command, std::size_t count) {
    if (o.files.size() != count)
        throw InputError(command + " expects " + std::to_string(count) + " file(s), got " +
                         std::to_string(o.files.size()) + " (see --help)");
}

// ---- timing -------------------------------------------------------------------

class Timings {
public:
    explicit Timings(bool on) : m_on(on) {}
    template <class F>
    auto Measure(const char* what, F&& f) {
        const auto start = std::chrono::steady_clock::now();
        auto stop = [&] {
            if (m_on)
                m_lines.push_back(std::string(what) + " " +
                                  Format(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count()));
        };
        if constexpr (std::is_void_v<decltype(f())>) {
            f();
            stop();
        } else {
            auto result = f();
            stop();
            return result;
        }
    }
    void Print() const {
        for (const std::string& line : m_lines) std::cerr << "time " << line << "\n";
    }

private:
    static std::string Format(double ms) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f ms", ms);
        return text;
    }
    bool m_on;
    std::vector<std::string> m_lines;
};

// ---- the scene and its view ---------------------------------------------------

struct ViewedScene {
    Structure structure;
    Scene scene;
    View view;
};

ViewedScene ReadAndBuild(const Options& o, Timings& t, bool withView) {
    ViewedScene v;
    v.structure = t.Measure("read", [&] { return ReadStructure(o.files.front(), o.model, o.maxInputMegabytes, o.assembly); });
    v.scene = t.Measure("build", [&] { return BuildScene(v.structure, o.scene); });
    if (withView) {
        const auto fit = [&] {
            if (!v.view.FitView(v.scene.root, o.view[0], o.view[1], o.view[2], o.scene.width, o.scene.height,
                                kTitleRoom, BottomRoom(v.scene.root, o.scene.height)))
                throw InputError("cannot compute the view of " + o.files.front() + " (its extent overflows)");
        };
        fit();
        if (o.slab) {
            // The slab lies across the view's depth axis through the middle of
            // the atoms (in double: the sum of two far floats overflows); the
            // second fit frames what it leaves.
            double low[3], high[3];
            for (int k = 0; k < 3; ++k) low[k] = high[k] = v.structure.atoms.front().position[k];
            for (const Atom& a : v.structure.atoms)
                for (int k = 0; k < 3; ++k) {
                    low[k] = std::min(low[k], static_cast<double>(a.position[k]));
                    high[k] = std::max(high[k], static_cast<double>(a.position[k]));
                }
            const Point3d centre(static_cast<float>(0.5 * low[0] + 0.5 * high[0]),
                                 static_cast<float>(0.5 * low[1] + 0.5 * high[1]),
                                 static_cast<float>(0.5 * low[2] + 0.5 * high[2]));
            ApplySlab(v.scene.root, centre, v.view.TowardsViewer(), o.slabDepth);
            fit();
        }
    }
    return v;
}

const std::vector<Tessary::DotPrimitive>& PickDots(const Scene& scene, Picker& picker, Timings& t) {
    return *t.Measure("pick-dots", [&] { return &picker.Collect(scene.root); });
}

// A scene file's bytes, under the same size limit as a structure's text.
std::vector<unsigned char> ReadFile(const std::string& path, int maxInputMegabytes) {
    const std::string text = ReadInputText(path, maxInputMegabytes);
    return std::vector<unsigned char>(text.begin(), text.end());
}

// Told by its first bytes; a file that cannot be read is left to the structure reader to report.
bool IsSceneFilePath(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[32] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return IsSceneFile(head, static_cast<std::size_t>(in.gcount()));
}

Tessary::DisplayList3D LoadSceneFile(const std::string& path, int maxInputMegabytes) {
    std::vector<unsigned char> bytes = ReadFile(path, maxInputMegabytes);
    try {
        return SceneFromBytes(bytes);
    } catch (const Tessary::CArchiveException& e) {
        throw InputError("not a scene file: " + path + " (" + e.what() + ")");
    }
}

// ---- commands -----------------------------------------------------------------

// Renders, and says on stderr how many labels found no room.
void RenderAndReport(const Tessary::DisplayList3D& root, const View& view, const std::string& output, Timings& t) {
    const RenderSummary summary = t.Measure("render", [&] { return Render(root, view, output); });
    if (summary.labelsDropped > 0)
        std::cerr << "tessary-scene: " << summary.labelsDropped << " of " << summary.labels
                  << " labels left out (no free spot beside their atoms)\n";
}

// A stored scene is drawn as the structure's own would be: what the picture
// needs beyond the view (title, slab) is in the file, and the view is fitted
// to the tree the same way.
int RunRenderScene(const Options& o, Timings& t) {
    const std::string& path = o.files.front();
    if (!o.buildOption.empty())
        throw InputError(o.buildOption + " builds a scene from a structure; " + path + " is a scene file");
    if (o.slab) throw InputError("--slab applies when the scene is archived; " + path + " is a scene file");
    const Tessary::DisplayList3D root = t.Measure("read", [&] { return LoadSceneFile(path, o.maxInputMegabytes); });
    View view;
    if (!view.FitView(root, o.view[0], o.view[1], o.view[2], o.scene.width, o.scene.height, kTitleRoom,
                      BottomRoom(root, o.scene.height)))
        throw InputError("cannot compute the view of " + path + " (its extent overflows)");
    RenderAndReport(root, view, o.output, t);
    int primitives = 0;
    for (const auto& kind : CountPrimitives(root)) primitives += kind.second;
    std::cout << "wrote " << o.output << " (scene file, " << primitives << " primitives)\n";
    t.Print();
    return 0;
}

int RunRender(const Options& o) {
    ExpectFiles(o, "render", 1);
    if (o.output.empty()) throw InputError("render needs -o OUT.png, OUT.svg or OUT.pdf");
    CheckOutput(o.output);
    Timings t(o.timings);
    if (IsSceneFilePath(o.files.front())) return RunRenderScene(o, t);
    ViewedScene v = ReadAndBuild(o, t, true);
    Picker picker;
    PickDots(v.scene, picker, t);
    RenderAndReport(v.scene.root, v.view, o.output, t);
    if (v.scene.ellipsoids && v.scene.nonPositiveDefinite > 0)
        std::cerr << "tessary-scene: " << o.files.front() << ": " << v.scene.nonPositiveDefinite
                  << " displacement tensor(s) not positive definite, drawn as spheres\n";
    std::cout << "wrote " << o.output << " (" << v.structure.atoms.size() << " atoms, " << v.scene.bonds.size()
              << " bonds)\n";
    t.Print();
    return 0;
}

int RunPick(const Options& o) {
    ExpectFiles(o, "pick", 1);
    if (!o.hasAt) throw InputError("pick needs --at X,Y");
    if (o.at[0] < 0 || o.at[0] > o.scene.width || o.at[1] < 0 || o.at[1] > o.scene.height)
        throw InputError("--at " + FormatNumber(o.at[0]) + "," + FormatNumber(o.at[1]) + " lies outside the " +
                         std::to_string(o.scene.width) + "x" + std::to_string(o.scene.height) + " picture");
    Timings t(o.timings);
    ViewedScene v = ReadAndBuild(o, t, true);
    Picker picker;
    const PickResult picked = Pick(PickDots(v.scene, picker, t), v.view, o.at[0], o.at[1]);
    t.Print();
    if (!picked.found) {
        std::cout << "nothing at " << o.at[0] << "," << o.at[1] << "\n";
        return 1;
    }
    const std::string what = v.scene.Describe(v.structure, picked.id);
    char where[96];
    std::snprintf(where, sizeof where, " (id %u, dot at %.1f,%.1f, %.1f px away)", picked.id, picked.pixel.x,
                  picked.pixel.y, picked.distance);
    std::cout << what << where << "\n";
    return 0;
}

int RunMetals(const Options& o) {
    ExpectFiles(o, "metals", 1);
    const Structure s = ReadStructure(o.files.front(), o.model, o.maxInputMegabytes, o.assembly);
    std::vector<MetalSite> sites = FindMetalSites(s);
    if (o.hasSelection) {
        const std::vector<char> selected = Select(o.selection, s);
        sites.erase(std::remove_if(sites.begin(), sites.end(),
                                   [&](const MetalSite& site) { return !selected[static_cast<std::size_t>(site.metal)]; }),
                    sites.end());
    }
    PrintMetalTable(s, sites, std::cout);
    return 0;
}

int RunSuperpose(const Options& o) {
    if (o.models) {
        ExpectFiles(o, "superpose --models", 1);
        if (o.chains.fixed != o.chains.moving) throw InputError("superpose --models takes --chain ID, not --chains");
        PrintModelSuperpositions(o.files.front(), SuperposeModels(o.files.front(), o.maxInputMegabytes, o.chains.fixed, o.assembly,
                                                 o.hasSelection ? &o.selection : nullptr),
                                 std::cout);
        return 0;
    }
    ExpectFiles(o, "superpose", 2);
    const Structure fixed = ReadStructure(o.files[0], o.model, o.maxInputMegabytes, o.assembly);
    const Structure moving = ReadStructure(o.files[1], o.model, o.maxInputMegabytes, o.assembly);
    PrintSuperposition(moving, fixed, Superpose(moving, fixed, o.chains, o.hasSelection ? &o.selection : nullptr), std::cout);
    return 0;
}

int RunArchive(const Options& o) {
    ExpectFiles(o, "archive", 1);
    std::vector<unsigned char> first;
    Tessary::DisplayList3D original;
    if (o.check) {
        if (!o.output.empty()) throw InputError("archive --check takes no -o");
        first = ReadFile(o.files.front(), o.maxInputMegabytes);
    } else {
        if (o.output.empty()) throw InputError("archive needs -o SCENE.bin (or --check SCENE.bin)");
        CheckOutput(o.output);
        Timings t(o.timings);
        // The view only places the slab.
        ViewedScene v = ReadAndBuild(o, t, o.slab);
        original = std::move(v.scene.root);
        first = SceneBytes(original);
        t.Print();
    }
    Tessary::DisplayList3D reloaded;
    try {
        reloaded = SceneFromBytes(first);
    } catch (const Tessary::CArchiveException& e) {
        throw InputError("not a scene file: " + o.files.front() + " (" + e.what() + ")");
    }
    const std::vector<unsigned char> second = SceneBytes(reloaded);
    std::vector<std::string> differences;
    if (!o.check) differences = CompareScenes(original, reloaded);
    if (second != first) differences.push_back("stored again, the bytes differ");
    if (!differences.empty()) {
        for (const std::string& d : differences) std::cerr << "archive: " << d << "\n";
        return 1;
    }
    if (!o.check) WriteWhole(o.output, first.data(), first.size());
    std::cout << (o.check ? o.files.front() : o.output) << ": " << first.size() << " bytes, "
              << (o.check ? "reloaded" : "reloaded, compared equal") << " and stored again byte-identical\n";
    return 0;
}

// Chains listed one a line; a simulation box may have thousands of segments.
constexpr std::size_t kInfoChainLines = 20;

int RunInfo(const Options& o) {
    ExpectFiles(o, "info", 1);
    Timings t(o.timings);
    ViewedScene v = ReadAndBuild(o, t, false);
    const Structure& s = v.structure;
    std::cout << "file    " << s.path << " (model " << s.model << " of " << s.modelCount << ")\n";
    if (!s.title.empty()) std::cout << "title   " << s.title << "\n";
    const std::vector<ChainSummary> chains = SummariseChains(s);
    std::cout << "chains  " << chains.size() << "\n";
    PrintChainSummaries(chains, kInfoChainLines, std::cout);
    std::cout << "atoms   " << s.atoms.size() << "\n";
    if (o.hasSelection) {
        const std::vector<char> selected = Select(o.selection, s);
        std::cout << "select  " << o.selection.text << ": atoms " << std::count(selected.begin(), selected.end(), 1)
                  << "\n";
    }
    std::cout << "secondary structure: " << DescribeSecondaryStructure(AssignSecondaryStructure(s, o.scene.secondary)) << "\n";
    if (s.SmallMolecule())
        std::cout << "sites   " << s.asymmetricSites << " in the asymmetric unit ("
                  << (s.crystal.Known() ? s.crystal.spaceGroup : "space group unknown") << "), completed to "
                  << s.molecules << (s.molecules == 1 ? " molecule\n" : " molecules\n");
    if (v.scene.tensors > 0)
        std::cout << "tensors " << v.scene.tensors << " (" << v.scene.nonPositiveDefinite << " not positive definite), drawn as "
                  << (v.scene.ellipsoids ? "ellipsoids" : "spheres") << "\n";
    std::cout << "bonds   " << v.scene.bonds.size() << "\nmetals  " << v.scene.metals.size() << "\nprimitives\n";
    for (const auto& [kind, count] : CountPrimitives(v.scene.root)) std::cout << "  " << kind << " " << count << "\n";
    t.Print();
    return 0;
}

int Run(int argc, char** argv) {
    if (argc < 2) throw InputError("no command (see tessary-scene --help)");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (!kCommands.count(command)) throw InputError("unknown command '" + command + "' (see tessary-scene --help)");
    const Options o = ParseOptions(command, argc, argv);
    if (o.help) {
        PrintCommandHelp(command);
        return 0;
    }
    if (command == "render") return RunRender(o);
    if (command == "pick") return RunPick(o);
    if (command == "metals") return RunMetals(o);
    if (command == "superpose") return RunSuperpose(o);
    if (command == "archive") return RunArchive(o);
    return RunInfo(o);
}

// One line, whatever the message held.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    struct FontCaches {
        ~FontCaches() { ReleaseFontCaches(); }
    } fontCaches;
    try {
        return Run(argc, argv);
    } catch (const InputError& e) {
        std::cerr << "tessary-scene: " << OneLine(e.what()) << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "tessary-scene: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "tessary-scene: " << OneLine(e.what()) << "\n";
    }
    return 2;
}

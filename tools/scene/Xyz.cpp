#include <cstdlib>
#include <sstream>
#include <utility>
#include <vector>

#include "Structure.h"

namespace TessaryScene {

using Tessary::Point3d;

namespace {

// One number of an XYZ line; false when the field is not a number. Values
// that are not finite (nan, inf, 1e999) are read so that the rule every
// reader shares can refuse them by name.
bool ReadNumber(std::istringstream& line, double& value) {
    std::string field;
    if (!(line >> field)) return false;
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    return !field.empty() && end == field.c_str() + field.size();
}

}  // namespace

std::vector<Structure> ParseXyzFrames(const std::string& text, int model) {
    std::istringstream in(text);
    std::string line;
    std::vector<Structure> frames;
    int frameCount = 0;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        throw InputError("XYZ line " + std::to_string(lineNumber) + ": " + why);
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;  // blank lines between frames
        char* end = nullptr;
        const long count = std::strtol(line.c_str(), &end, 10);
        if (end == line.c_str() || count < 0 || std::string(end).find_first_not_of(" \t\r") != std::string::npos)
            fail("expected the atom count of a frame");
        // A count larger than the lines left cannot be met: refuse before reserving.
        if (static_cast<std::size_t>(count) > text.size() / 8) fail("atom count " + std::to_string(count) + " exceeds the file");
        ++frameCount;
        const bool wanted = model == 0 || frameCount == model;
        std::string comment;
        if (!std::getline(in, comment)) fail("frame ends before its comment line");
        ++lineNumber;
        if (wanted) {
            frames.emplace_back();
            Structure& s = frames.back();
            s.model = frameCount;
            while (!comment.empty() && (comment.back() == '\r' || comment.back() == ' ')) comment.pop_back();
            s.title = TextAsUtf8(comment.substr(comment.find_first_not_of(' ') == std::string::npos
                                                    ? comment.size()
                                                    : comment.find_first_not_of(' ')));
            s.atoms.reserve(static_cast<std::size_t>(count));
        }
        for (long i = 0; i < count; ++i) {
            if (!std::getline(in, line)) fail("frame ends after " + std::to_string(i) + " of " + std::to_string(count) + " atoms");
            ++lineNumber;
            if (!wanted) continue;
            std::istringstream fields(line);
            Atom atom;
            double x = 0.0, y = 0.0, z = 0.0;
            if (!(fields >> atom.element) || !ReadNumber(fields, x) || !ReadNumber(fields, y) || !ReadNumber(fields, z))
                fail("expected an element and three coordinates");
            atom.element = TextAsUtf8(ElementSymbolCase(atom.element));
            atom.name = atom.element;
            atom.residueNumber = static_cast<int>(i) + 1;
            atom.position = Point3d(x, y, z);
            RequireFiniteNumbers(atom, "XYZ line " + std::to_string(lineNumber));
            frames.back().atoms.push_back(std::move(atom));
        }
    }
    if (frameCount == 0) throw InputError("no atoms");
    if (model < 0 || model > frameCount)
        throw InputError("the file has " + std::to_string(frameCount) + " frame(s); model " + std::to_string(model) +
                         " was asked for");
    for (Structure& s : frames) s.modelCount = frameCount;
    return frames;
}

Structure ParseXyz(const std::string& text, int model) {
    if (model < 1) throw InputError("model " + std::to_string(model) + " was asked for; frames count from 1");
    return std::move(ParseXyzFrames(text, model).front());
}

}  // namespace TessaryScene

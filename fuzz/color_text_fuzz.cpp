// Colour text input: Color::SetRGB(CString) and stream extraction from
// arbitrary text. Neither may crash; a colour that was read must write out and
// read back to itself, and text that sets nothing must leave the colour alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tessary/color/Color.h"

using namespace Tessary;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Color start(12, 34, 56, 78);

    Color parsed = start;
    parsed.SetRGB(CString(text));
    // Either nothing changed, a name replaced all four bytes (A = 0), or
    // numbers replaced R, G, B and kept A.
    if (parsed != start && parsed.GetA() != 0 && parsed.GetA() != start.GetA()) std::abort();

    Color extracted = start;
    std::istringstream in(text);
    if (in >> extracted) {
        std::stringstream round;
        round << extracted;
        Color back;
        if (!(round >> back) || back != extracted) std::abort();
    } else if (extracted != start) {
        std::abort();
    }
    return 0;
}

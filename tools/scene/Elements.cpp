#include "Elements.h"

#include <array>
#include <cstdint>

#include <gemmi/elem.hpp>

namespace TessaryScene {

namespace {

constexpr std::size_t kCount = static_cast<std::size_t>(gemmi::El::END);

// 0xRRGGBB by element number, the usual element scheme (sulfur a deeper
// yellow, so it reads on white); index 0 is the unknown entry and the last
// is deuterium, drawn as hydrogen.
constexpr std::uint32_t kColors[kCount] = {
    0xFF1493,                                                                                          // X
    0xFFFFFF, 0xD9FFFF,                                                                                // H He
    0xCC80FF, 0xC2FF00, 0xFFB5B5, 0x909090, 0x3050F8, 0xFF0D0D, 0x90E050, 0xB3E3F5,                    // Li-Ne
    0xAB5CF2, 0x8AFF00, 0xBFA6A6, 0xF0C8A0, 0xFF8000, 0xFFC832, 0x1FF01F, 0x80D1E3,                    // Na-Ar
    0x8F40D4, 0x3DFF00, 0xE6E6E6, 0xBFC2C7, 0xA6A6AB, 0x8A99C7, 0x9C7AC7, 0xE06633, 0xF090A0,          // K-Co
    0x50D050, 0xC88033, 0x7D80B0, 0xC28F8F, 0x668F8F, 0xBD80E3, 0xFFA100, 0xA62929, 0x5CB8D1,          // Ni-Kr
    0x702EB0, 0x00FF00, 0x94FFFF, 0x94E0E0, 0x73C2C9, 0x54B5B5, 0x3B9E9E, 0x248F8F, 0x0A7D8C,          // Rb-Rh
    0x006985, 0xC0C0C0, 0xFFD98F, 0xA67573, 0x668080, 0x9E63B5, 0xD47A00, 0x940094, 0x429EB0,          // Pd-Xe
    0x57178F, 0x00C900, 0x70D4FF, 0xFFFFC7, 0xD9FFC7, 0xC7FFC7, 0xA3FFC7, 0x8FFFC7, 0x61FFC7,          // Cs-Eu
    0x45FFC7, 0x30FFC7, 0x1FFFC7, 0x00FF9C, 0x00E675, 0x00D452, 0x00BF38, 0x00AB24,                    // Gd-Lu
    0x4DC2FF, 0x4DA6FF, 0x2194D6, 0x267DAB, 0x266696, 0x175487, 0xD0D0E0, 0xFFD123, 0xB8B8D0,          // Hf-Hg
    0xA6544D, 0x575961, 0x9E4FB5, 0xAB5C00, 0x754F45, 0x428296,                                        // Tl-Rn
    0x420066, 0x007D00, 0x70ABFA, 0x00BAFF, 0x00A1FF, 0x008FFF, 0x0080FF, 0x006BFF, 0x545CF2,          // Fr-Am
    0x785CE3, 0x8A4FE3, 0xA136D4, 0xB31FD4, 0xB31FBA, 0xB30DA6, 0xBD0D87, 0xC70066,                    // Cm-Lr
    0xCC0059, 0xD1004F, 0xD90045, 0xE00038, 0xE6002E, 0xEB0026, 0xEE0020, 0xF0001A, 0xF20016,          // Rf-Cn
    0xF40012, 0xF6000E, 0xF8000A, 0xFA0006, 0xFC0003, 0xFF0000,                                        // Nh-Og
    0xFFFFFF,                                                                                          // D
};

using Table = std::array<ElementInfo, kCount>;

Table MakeTable() {
    Table table{};
    for (std::size_t i = 0; i < kCount; ++i) {
        const gemmi::Element e(static_cast<gemmi::El>(i));
        const std::uint32_t c = kColors[i];
        table[i] = {e.name(),
                    e.covalent_r(),
                    e.vdw_r(),
                    static_cast<unsigned char>(c >> 16),
                    static_cast<unsigned char>(c >> 8 & 0xFF),
                    static_cast<unsigned char>(c & 0xFF),
                    e.is_metal(),
                    e.is_hydrogen()};
    }
    return table;
}

const Table& Elements() {
    static const Table table = MakeTable();
    return table;
}

}  // namespace

const ElementInfo& LookupElement(const std::string& symbol) {
    // Longer strings are no symbol, though their first two letters may spell one.
    if (symbol.size() > 2) return UnknownElement();
    return Elements()[static_cast<std::size_t>(gemmi::find_element(symbol.c_str()))];
}

const ElementInfo& UnknownElement() { return Elements()[static_cast<std::size_t>(gemmi::El::X)]; }

}  // namespace TessaryScene

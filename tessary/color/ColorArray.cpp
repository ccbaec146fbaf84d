#include "tessary/color/ColorArray.h"

#include <cstdint>

#include "tessary/frame/Serialization.h"

namespace Tessary {

namespace {

enum RampId {
    kBlackWhite, kWhiteBlack, kRedBlue, kBlueRed, kRedWhiteBlue, kBlueWhiteRed,
    kRedGreenBlue, kBlueGreenRed, kRainbow1, kRainbow1Reversed, kRainbow2, kRainbow2Reversed,
    kRampCount
};

struct RampDefinition {
    const char* name;
    int count;
    Color stops[4];
};

// In lookup order: Named returns the first match.
constexpr RampDefinition kRamps[kRampCount] = {
    {"Black-White", 2, {Color::Black(), Color::White()}},
    {"White-Black", 2, {Color::White(), Color::Black()}},
    {"Red-Blue", 2, {Color::Red(), Color::Blue()}},
    {"Blue-Red", 2, {Color::Blue(), Color::Red()}},
    {"Red-White-Blue", 3, {Color::Red(), Color::White(), Color::Blue()}},
    {"Blue-White-Red", 3, {Color::Blue(), Color::White(), Color::Red()}},
    {"Red-Green-Blue", 3, {Color::Red(), Color::Green(), Color::Blue()}},
    {"Blue-Green-Red", 3, {Color::Blue(), Color::Green(), Color::Red()}},
    {"Rainbow 1", 4, {Color::Red(), Color::Yellow(), Color::Green(), Color::Cyan()}},
    {"Rainbow 1 Reversed", 4, {Color::Cyan(), Color::Green(), Color::Yellow(), Color::Red()}},
    {"Rainbow 2", 4, {Color::Red(), Color::Magenta(), Color::Blue(), Color::Cyan()}},
    {"Rainbow 2 Reversed", 4, {Color::Cyan(), Color::Blue(), Color::Magenta(), Color::Red()}},
};

ColorArray MakeRamp(RampId id) {
    const RampDefinition& ramp = kRamps[id];
    ColorArray array(ramp.name, ramp.count, 1);
    for (int i = 0; i < ramp.count; ++i) array[i] = ramp.stops[i];
    return array;
}

}  // namespace

ColorArray::ColorArray(int size, int growBy) : ColorArray(CString("Undefined"), size, growBy) {}

ColorArray::ColorArray(const CString& name, int size, int growBy) : m_name(name) {
    if (size > 0) SetSize(size, growBy < 1 ? 1 : growBy);
}

ColorArray::~ColorArray() = default;

void ColorArray::Serialize(CArchive& ar) {
    // The platform-array form of the colours (count, raw 4-byte words), then the name.
    ArchiveObject(ar, *this, [&ar](ColorArray& a) {
        ArchiveFields(ar, static_cast<CArray<Color, const Color&>&>(a), a.m_name);
    });
}

ColorArray ColorArray::BlackWhite() { return MakeRamp(kBlackWhite); }
ColorArray ColorArray::WhiteBlack() { return MakeRamp(kWhiteBlack); }
ColorArray ColorArray::RedBlue() { return MakeRamp(kRedBlue); }
ColorArray ColorArray::BlueRed() { return MakeRamp(kBlueRed); }
ColorArray ColorArray::RedWhiteBlue() { return MakeRamp(kRedWhiteBlue); }
ColorArray ColorArray::BlueWhiteRed() { return MakeRamp(kBlueWhiteRed); }
ColorArray ColorArray::RedGreenBlue() { return MakeRamp(kRedGreenBlue); }
ColorArray ColorArray::BlueGreenRed() { return MakeRamp(kBlueGreenRed); }
ColorArray ColorArray::Rainbow1() { return MakeRamp(kRainbow1); }
ColorArray ColorArray::Rainbow1Reversed() { return MakeRamp(kRainbow1Reversed); }
ColorArray ColorArray::Rainbow2() { return MakeRamp(kRainbow2); }
ColorArray ColorArray::Rainbow2Reversed() { return MakeRamp(kRainbow2Reversed); }

ColorArray ColorArray::Named(const CString& name) {
    for (int id = 0; id < kRampCount; ++id) {
        if (name.CompareNoCase(CString(kRamps[id].name)) == 0) return MakeRamp(static_cast<RampId>(id));
    }
    return MakeRamp(kRedGreenBlue);
}

}  // namespace Tessary

#pragma once

// ColorArray: a named, growable array of colours. It is both a plain list of
// colours (mesh vertex colours, a volume's colour table) and a colour ramp, an
// ordered list of stops that a ColorMap spreads evenly over its slots. Twelve
// ramps are built in and can be found by name; a ramp's name travels with it.
//
// Archive form: the element count in the archive's count encoding, the
// elements' raw bytes (R, G, B, A each), then the name as an archive string.

#include "tessary/color/Color.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {

class TESSARY_API ColorArray : public CArray<Color, const Color&> {
public:
    // Named "Undefined". A positive size gives that many zero colours, with a
    // grow-by of growBy (at least 1); otherwise the array starts empty.
    explicit ColorArray(int size = 0, int growBy = 1);
    ColorArray(const CString& name, int size = 0, int growBy = 1);
    ColorArray(const ColorArray&) = default;
    ColorArray& operator=(const ColorArray&) = default;
    virtual ~ColorArray();

    CString GetName() const { return m_name; }
    void SetName(const CString& name) { m_name = name; }

    virtual void Serialize(CArchive& ar);

    // The built-in ramps, under their canonical names.
    static ColorArray BlackWhite();          // "Black-White"
    static ColorArray WhiteBlack();          // "White-Black"
    static ColorArray RedBlue();             // "Red-Blue"
    static ColorArray BlueRed();             // "Blue-Red"
    static ColorArray RedWhiteBlue();        // "Red-White-Blue"
    static ColorArray BlueWhiteRed();        // "Blue-White-Red"
    static ColorArray RedGreenBlue();        // "Red-Green-Blue"
    static ColorArray BlueGreenRed();        // "Blue-Green-Red"
    static ColorArray Rainbow1();            // "Rainbow 1": red, yellow, green, cyan
    static ColorArray Rainbow1Reversed();    // "Rainbow 1 Reversed"
    static ColorArray Rainbow2();            // "Rainbow 2": red, magenta, blue, cyan
    static ColorArray Rainbow2Reversed();    // "Rainbow 2 Reversed"

    // The built-in ramp whose name equals `name` ignoring letter case (whole
    // text, no trimming); any other name gives "Red-Green-Blue".
    static ColorArray Named(const CString& name);

private:
    CString m_name;
};

}  // namespace Tessary

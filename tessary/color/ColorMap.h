#pragma once

// ColorMap turns a real value into a colour. It holds a few colour stops (its
// entries), expands them once into N slots (its map), as gradients between
// the stops or as flat bands, and maps [begin, end] linearly onto the slots,
// so a lookup is a multiply, a truncation and a clamp.
//
// ColorMapParameters is the stored description of a colouring: a built-in
// ramp name, a value range, a clip flag and a transfer function that blacks
// out single slots. It rebuilds its ColorMap lazily on the first lookup after
// a change; only the description goes into archives.
//
// Odd cases, decided here:
// * sizes below 1 are treated as 1, so a map always has a slot to return;
// * a map without entries is black throughout, and ColorAtEntry gives black;
// * whatever counts and last index an archive held, lookups stay inside the
//   slots and entries that exist;
// * SetColorForRange sets every slot between the two values' slots, whichever
//   way the map runs;
// * CalculateColor with an empty transfer function gives black.

#include <cstdint>
#include <vector>

#include "tessary/color/Color.h"
#include "tessary/color/ColorArray.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"

namespace Tessary {

namespace detail {
// The black of the colour-map code (all four bytes 0), shared by every map;
// constant-initialised among the library's statics.
extern TESSARY_API const Color g_colorMapBlack;
}  // namespace detail

class TESSARY_API ColorMap {
public:
    // 256 blended slots over 0..255 with the default (near-black) ramp.
    ColorMap();
    // n blended slots over 0..n-1 with the default ramp.
    explicit ColorMap(int n);
    ColorMap(const ColorMap&) = default;
    ColorMap& operator=(const ColorMap&) = default;
    virtual ~ColorMap();

    // Sets the range and recomputes the scale for the current size.
    ColorMap& SetBeginEnd(double begin, double end);
    ColorMap& SetBegin(double begin) { return SetBeginEnd(begin, m_end); }
    ColorMap& SetEnd(double end) { return SetBeginEnd(m_begin, end); }
    // New size, map rebuilt from the current entries. The scale is left as it
    // was: follow with SetBeginEnd.
    ColorMap& Resize(int n);

    double Begin() const { return m_begin; }
    double End() const { return m_end; }
    int GetSizeMap() const { return m_sizeMap; }
    int SizeColors() const { return m_sizeColors; }
    bool IsBlended() const { return m_blended; }

    // Each replaces the entries, stores `blended` and rebuilds the map. The
    // default ramp's stops are (0,0,1), (0,1,0), (1,0,0): a near-black map.
    ColorMap& Ramp(bool blended);
    ColorMap& Ramp(Color c1, Color c2, bool blended);
    ColorMap& Ramp(Color c1, Color c2, Color c3, bool blended);
    // The first `count` colours of `colors` (none when count < 1 or colors is null).
    ColorMap& Ramp(int count, const Color* colors, bool blended);
    ColorMap& Ramp(const ColorArray& ramp, bool blended);

    // Reverses the entries and, separately, the slots; nothing is rebuilt.
    ColorMap& Invert();

    // The slot of v: (begin - v) * scale truncated toward zero, clamped to the
    // slots (NaN gives slot 0).
    int IndexOfValue(double v) const {
        // Clamping before truncation gives the same slot and keeps the
        // conversion defined; the selects compile without branches, which
        // matters on data that often falls outside the range.
        double t = (m_begin - v) * m_scale;
        t = t > m_firstSlotValue ? t : m_firstSlotValue;
        t = t < m_maxSlotValue ? t : m_maxSlotValue;
        return static_cast<int>(t);
    }
    Color ColorAtValue(double v) const { return m_map[static_cast<std::size_t>(IndexOfValue(v))]; }
    // Clamped to the first and last slot.
    Color ColorAtIndex(int i) const {
        return m_map[static_cast<std::size_t>(i < 0 ? 0 : (i > m_maxIndex ? m_maxIndex : i))];
    }
    // Clamped to the first and last entry; black when there are none.
    Color ColorAtEntry(int i) const;
    // An index outside the slots is ignored.
    ColorMap& SetColorAtIndex(int i, Color c);
    ColorMap& SetColorForValue(double v, Color c) { return SetColorAtIndex(IndexOfValue(v), c); }
    // Every slot from the slot of `from` to the slot of `to`, both included.
    ColorMap& SetColorForRange(double from, double to, Color c);

    // blended (byte), last index, begin, end, scale, M and the M entries, N and
    // the N slots (colours as packed 32-bit words). A count of 0 read back
    // keeps the array the map already had. A load that throws leaves the map
    // as it was.
    void Serialize(CArchive& ar);

private:
    friend class ColorMapParameters;

    // Sets N and the last index without building the map.
    void SetSize(int n);
    void Build();
    void BuildBlendedSegments(int entryCount);
    void UpdateLimits();
    int EntryCount() const;

    bool m_blended = true;
    std::int32_t m_sizeMap = 0;       // N
    std::int32_t m_lastIndex = -1;    // N - 1, or what an archive held
    std::int32_t m_sizeColors = 0;    // M
    double m_begin = 0.0;
    double m_end = 0.0;
    double m_scale = 1.0;
    std::vector<Color> m_entries;
    std::vector<Color> m_map;
    // Upper clamps of the lookups: never past the last slot that exists.
    double m_maxSlotValue = 0.0;      // by value: min(last index, slots - 1)
    // Always 0. Held as data because compilers turn a select against a
    // variable, but not against the constant, into a branch-free max.
    double m_firstSlotValue = 0.0;
    std::int32_t m_maxIndex = 0;      // by index: min(N - 1, slots - 1)
};

class TESSARY_API ColorMapParameters {
public:
    // "Blue-Green-Red", no clip, 0.0 to 1.0, 32 slots all on.
    ColorMapParameters();
    ColorMapParameters(const CString& name, bool clip, double minimum, double maximum, const BoolArray& transfer);
    ColorMapParameters(const CString& name, bool clip, double minimum, double maximum, int count);
    ColorMapParameters(const ColorMapParameters&) = default;
    ColorMapParameters& operator=(const ColorMapParameters&) = default;
    virtual ~ColorMapParameters();

    // The colour of v; rebuilds the map first if anything changed. With clip
    // set, values outside [minimum, maximum] and NaN give black.
    virtual Color CalculateColor(double v) {
        if (m_dirty) Rebuild();
        if (m_clip && !(v >= m_minimum && v <= m_maximum)) return detail::g_colorMapBlack;
        if (m_transferFunction.IsEmpty()) return detail::g_colorMapBlack;
        return m_map.ColorAtValue(v);
    }
    // Name (archive string), clip (byte), minimum, maximum, then the transfer
    // function's length as a plain 32-bit word and one byte per entry. A load
    // that throws leaves the parameters (and their map) as they were.
    virtual void Serialize(CArchive& ar);

    // Every setter marks the map for rebuilding.
    virtual ColorMapParameters& SetSpectrumName(const CString& name);
    virtual CString GetSpectrumName() const { return m_spectrumName; }
    virtual ColorMapParameters& SetClip(bool clip);
    virtual bool GetClip() const { return m_clip; }
    virtual ColorMapParameters& SetMinimum(double minimum);
    virtual double GetMinimum() const { return m_minimum; }
    virtual ColorMapParameters& SetMaximum(double maximum);
    virtual double GetMaximum() const { return m_maximum; }
    virtual ColorMapParameters& SetTransferFunction(const BoolArray& transfer);
    virtual void GetTransferFunction(BoolArray& out) const { out.Copy(m_transferFunction); }

    // Equal descriptions: spectrum names equal ignoring case, and clip,
    // minimum, maximum and the transfer function equal. The map takes no part.
    bool operator==(const ColorMapParameters& other) const;
    bool operator!=(const ColorMapParameters& other) const { return !(*this == other); }
    // Lexicographic: name (ignoring case), clip, minimum, maximum, transfer
    // length, then the transfer entries (false before true).
    bool operator<(const ColorMapParameters& other) const { return Compare(other) < 0; }
    bool operator>(const ColorMapParameters& other) const { return Compare(other) > 0; }

private:
    void Rebuild();
    int Compare(const ColorMapParameters& other) const;

    CString m_spectrumName;
    bool m_clip;
    double m_minimum;
    double m_maximum;
    BoolArray m_transferFunction;
    bool m_dirty = true;
    ColorMap m_map;
};

}  // namespace Tessary

#include "tessary/color/ColorMap.h"

#include <algorithm>

#include "tessary/frame/Serialization.h"

namespace Tessary {

using detail::g_colorMapBlack;

// ---- ColorMap ------------------------------------------------------------------

ColorMap::ColorMap() : ColorMap(256) {}

ColorMap::ColorMap(int n) {
    SetSize(n);
    SetBeginEnd(0.0, static_cast<double>(m_sizeMap - 1));
    Ramp(true);
}

ColorMap::~ColorMap() = default;

void ColorMap::SetSize(int n) {
    m_sizeMap = std::max(n, 1);
    m_lastIndex = m_sizeMap - 1;
    UpdateLimits();
}

void ColorMap::UpdateLimits() {
    // The map always holds at least one slot (every constructor builds one and
    // loading replaces it only with a non-empty one).
    const std::int32_t lastSlot = static_cast<std::int32_t>(m_map.size()) - 1;
    m_maxSlotValue = static_cast<double>(std::max(0, std::min(m_lastIndex, lastSlot)));
    m_maxIndex = std::max(0, std::min(m_sizeMap - 1, lastSlot));
}

int ColorMap::EntryCount() const {
    // After a load that read a count of 0 the old entries are kept but unused.
    return std::clamp(m_sizeColors, 0, static_cast<std::int32_t>(m_entries.size()));
}

ColorMap& ColorMap::SetBeginEnd(double begin, double end) {
    m_begin = begin;
    m_end = end;
    m_scale = begin != end ? static_cast<double>(m_sizeMap) / (begin - end) : 1.0;
    return *this;
}

ColorMap& ColorMap::Resize(int n) {
    SetSize(n);
    Build();
    return *this;
}

ColorMap& ColorMap::Ramp(bool blended) {
    const Color stops[3] = {Color(0, 0, 1), Color(0, 1, 0), Color(1, 0, 0)};
    return Ramp(3, stops, blended);
}

ColorMap& ColorMap::Ramp(Color c1, Color c2, bool blended) {
    const Color stops[2] = {c1, c2};
    return Ramp(2, stops, blended);
}

ColorMap& ColorMap::Ramp(Color c1, Color c2, Color c3, bool blended) {
    const Color stops[3] = {c1, c2, c3};
    return Ramp(3, stops, blended);
}

ColorMap& ColorMap::Ramp(int count, const Color* colors, bool blended) {
    if (count < 1 || colors == nullptr) count = 0;
    m_entries.assign(colors, colors + count);
    m_sizeColors = count;
    m_blended = blended;
    Build();
    return *this;
}

ColorMap& ColorMap::Ramp(const ColorArray& ramp, bool blended) {
    return Ramp(ramp.GetSize(), ramp.GetData(), blended);
}

void ColorMap::Build() {
    // A map loaded with a slot count of 0 still gets one slot.
    if (m_sizeMap < 1) m_sizeMap = 1;
    const int n = m_sizeMap;
    const int m = EntryCount();
    m_map.assign(static_cast<std::size_t>(n), g_colorMapBlack);

    if (n == m) {
        std::copy_n(m_entries.begin(), n, m_map.begin());
    } else if (m == 1) {
        std::fill(m_map.begin(), m_map.end(), m_entries[0]);
    } else if (m == 0) {
        // stays black
    } else if (m_blended && n < m) {
        // Fewer slots than stops: sample the stops, rounding down in the lower
        // half and to nearest in the upper half; the last slot takes the last stop.
        const double ratio = static_cast<double>(m) / static_cast<double>(n);
        for (int i = 0; i < n; ++i) {
            double t = i == n - 1 ? static_cast<double>(m - 1) : i * ratio;
            if (i > n / 2) t += 0.5;
            const int entry = std::min(static_cast<int>(t), m - 1);
            m_map[static_cast<std::size_t>(i)] = m_entries[static_cast<std::size_t>(entry)];
        }
    } else if (m_blended) {
        BuildBlendedSegments(m);
    } else {
        // Flat bands; the last band takes the remainder (all of the map when
        // there are more stops than slots).
        const int per = n / m;
        for (int s = 0; s < m; ++s) {
            const int first = s * per;
            const int stop = s == m - 1 ? n : (s + 1) * per;
            std::fill(m_map.begin() + first, m_map.begin() + stop, m_entries[static_cast<std::size_t>(s)]);
        }
    }
    UpdateLimits();
}

void ColorMap::BuildBlendedSegments(int m) {
    // One segment per pair of neighbouring stops. Inner segments stop one
    // increment short of their second stop (which starts the next segment);
    // the last one takes the remainder of the division and ends on its stop.
    // The arithmetic is single precision in the unit-float view, as stored
    // colour tables were computed.
    const int n = m_sizeMap;
    const int step = n / (m - 1);
    for (int s = 0; s < m - 1; ++s) {
        const bool last = s == m - 2;
        const int first = s * step;
        const int count = (last ? n : (s + 1) * step) - first;
        int divisor = last ? count - 1 : count;
        if (divisor == 0) divisor = 1;

        const Color& from = m_entries[static_cast<std::size_t>(s)];
        const Color& to = m_entries[static_cast<std::size_t>(s) + 1];
        const unsigned char a[4] = {from.GetR(), from.GetG(), from.GetB(), from.GetA()};
        const unsigned char b[4] = {to.GetR(), to.GetG(), to.GetB(), to.GetA()};
        float start[4];
        float delta[4];
        for (int k = 0; k < 4; ++k) {
            start[k] = Color::ByteToFloat(a[k]);
            delta[k] = (Color::ByteToFloat(b[k]) - start[k]) / static_cast<float>(divisor);
        }
        Color* slot = m_map.data() + first;
        for (int j = 0; j < count; ++j, ++slot) {
            // Products and sums in separate statements: a fused multiply-add
            // would round differently and change stored tables.
            const float jf = static_cast<float>(j);
            const float stepR = jf * delta[0], stepG = jf * delta[1], stepB = jf * delta[2], stepA = jf * delta[3];
            slot->m_r = Color::FloatToByte(start[0] + stepR);
            slot->m_g = Color::FloatToByte(start[1] + stepG);
            slot->m_b = Color::FloatToByte(start[2] + stepB);
            slot->m_a = Color::FloatToByte(start[3] + stepA);
        }
    }
}

ColorMap& ColorMap::Invert() {
    std::reverse(m_entries.begin(), m_entries.end());
    std::reverse(m_map.begin(), m_map.end());
    return *this;
}

Color ColorMap::ColorAtEntry(int i) const {
    const int m = EntryCount();
    if (m == 0) return g_colorMapBlack;
    return m_entries[static_cast<std::size_t>(std::clamp(i, 0, m - 1))];
}

ColorMap& ColorMap::SetColorAtIndex(int i, Color c) {
    if (i >= 0 && static_cast<std::size_t>(i) < m_map.size()) m_map[static_cast<std::size_t>(i)] = c;
    return *this;
}

ColorMap& ColorMap::SetColorForRange(double from, double to, Color c) {
    const int i = IndexOfValue(from);
    const int j = IndexOfValue(to);
    const int low = std::min(i, j);
    const int high = std::max(i, j);
    std::fill(m_map.begin() + low, m_map.begin() + high + 1, c);
    return *this;
}

namespace {

// The colours of a map as an archived sequence (a signed 32-bit count, then
// each colour's packed word). Storing writes the colours that exist, at most
// `count`, so the file always reads back. Loading sets `count` to the count
// read and replaces the colours only when it is positive: a count of 0 keeps
// the old colours, unused.
struct ColorSlots {
    std::vector<Color>& colors;
    std::int32_t& count;

    int GetSize() const { return std::clamp(count, 0, static_cast<std::int32_t>(colors.size())); }
    void SetSize(int n) {
        count = n;
        if (n > 0) colors.assign(static_cast<std::size_t>(n), Color());
    }
    Color& operator[](int i) { return colors[static_cast<std::size_t>(i)]; }
};

}  // namespace

void ColorMap::Serialize(CArchive& ar) {
    ArchiveObject(
        ar, *this,
        [&ar](ColorMap& m) {
            ColorSlots entries{m.m_entries, m.m_sizeColors}, slots{m.m_map, m.m_sizeMap};
            ArchiveFields(ar, AsByte(m.m_blended), m.m_lastIndex, m.m_begin, m.m_end, m.m_scale,
                          Sequence(entries, sizeof(Color)), Sequence(slots, sizeof(Color)));
        },
        [](ColorMap& m) { m.UpdateLimits(); });
}

// ---- ColorMapParameters ----------------------------------------------------------

ColorMapParameters::ColorMapParameters() : ColorMapParameters("Blue-Green-Red", false, 0.0, 1.0, 32) {}

ColorMapParameters::ColorMapParameters(const CString& name, bool clip, double minimum, double maximum,
                                       const BoolArray& transfer)
    : m_spectrumName(name), m_clip(clip), m_minimum(minimum), m_maximum(maximum), m_transferFunction(transfer) {}

ColorMapParameters::ColorMapParameters(const CString& name, bool clip, double minimum, double maximum, int count)
    : m_spectrumName(name), m_clip(clip), m_minimum(minimum), m_maximum(maximum) {
    m_transferFunction.SetSize(count);
    for (bool& on : m_transferFunction) on = true;
}

ColorMapParameters::~ColorMapParameters() = default;

void ColorMapParameters::Rebuild() {
    const int n = m_transferFunction.GetSize();
    m_map.SetSize(n);
    m_map.SetBeginEnd(m_minimum, m_maximum);
    m_map.Ramp(ColorArray::Named(m_spectrumName), true);
    for (int i = 0; i < n; ++i) {
        if (!m_transferFunction[i]) m_map.SetColorAtIndex(i, g_colorMapBlack);
    }
    m_dirty = false;
}

ColorMapParameters& ColorMapParameters::SetSpectrumName(const CString& name) {
    m_spectrumName = name;
    m_dirty = true;
    return *this;
}

ColorMapParameters& ColorMapParameters::SetClip(bool clip) {
    m_clip = clip;
    m_dirty = true;
    return *this;
}

ColorMapParameters& ColorMapParameters::SetMinimum(double minimum) {
    m_minimum = minimum;
    m_dirty = true;
    return *this;
}

ColorMapParameters& ColorMapParameters::SetMaximum(double maximum) {
    m_maximum = maximum;
    m_dirty = true;
    return *this;
}

ColorMapParameters& ColorMapParameters::SetTransferFunction(const BoolArray& transfer) {
    m_transferFunction.Copy(transfer);
    m_dirty = true;
    return *this;
}

bool ColorMapParameters::operator==(const ColorMapParameters& other) const {
    if (this == &other) return true;
    return m_spectrumName.CompareNoCase(other.m_spectrumName) == 0 && m_clip == other.m_clip &&
           m_minimum == other.m_minimum && m_maximum == other.m_maximum &&
           m_transferFunction == other.m_transferFunction;
}

int ColorMapParameters::Compare(const ColorMapParameters& other) const {
    if (const int byName = m_spectrumName.CompareNoCase(other.m_spectrumName)) return byName;
    if (m_clip != other.m_clip) return m_clip ? 1 : -1;
    if (m_minimum < other.m_minimum) return -1;
    if (m_minimum > other.m_minimum) return 1;
    if (m_maximum < other.m_maximum) return -1;
    if (m_maximum > other.m_maximum) return 1;
    const int size = m_transferFunction.GetSize();
    const int otherSize = other.m_transferFunction.GetSize();
    if (size != otherSize) return size < otherSize ? -1 : 1;
    for (int i = 0; i < size; ++i) {
        if (m_transferFunction[i] != other.m_transferFunction[i]) return m_transferFunction[i] ? 1 : -1;
    }
    return 0;
}

void ColorMapParameters::Serialize(CArchive& ar) {
    ArchiveObject(
        ar, *this,
        [&ar](ColorMapParameters& p) {
            ArchiveFields(ar, p.m_spectrumName, AsByte(p.m_clip), p.m_minimum, p.m_maximum,
                          Sequence(p.m_transferFunction, 1));
        },
        [](ColorMapParameters& p) { p.m_dirty = true; });
}

}  // namespace Tessary

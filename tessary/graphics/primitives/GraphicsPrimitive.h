#pragma once

// The roots of every drawable kind a display list holds. A primitive is a
// small value: an object ID for picking (0 = no object), and for the lit
// kinds a material and a representation whose meanings the host defines;
// the library only stores, copies and archives them.
//
// Archive forms: the object ID as a 32-bit word; a lit primitive adds the
// material and representation words. The representation is always written,
// and read from version 7 on; the unset version reads it too, so a store and
// load with the same archive round-trip. A version of 6 or less keeps the
// representation the object had before loading.

#include <cstdint>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/Export.h"

namespace Tessary {

class TESSARY_API GraphicsPrimitive {
public:
    GraphicsPrimitive() = default;
    explicit GraphicsPrimitive(unsigned int id) : m_id(id) {}
    GraphicsPrimitive(const GraphicsPrimitive&) = default;
    GraphicsPrimitive& operator=(const GraphicsPrimitive&) = default;
    virtual ~GraphicsPrimitive() = default;

    unsigned int GetID() const { return m_id; }
    void SetID(unsigned int id) { m_id = id; }

    void Serialize(CArchive& ar);

protected:
    std::uint32_t m_id = 0;
};

// Shaded solids and surfaces.
class TESSARY_API LitPrimitive : public GraphicsPrimitive {
public:
    // Host-defined values; the library gives 0 no meaning beyond "default".
    enum Material : int { DefaultMaterial = 0 };
    enum Representation : int { DefaultRepresentation = 0 };

    LitPrimitive() = default;
    explicit LitPrimitive(unsigned int id) : GraphicsPrimitive(id) {}

    Material GetMaterial() const { return m_material; }
    void SetMaterial(Material material) { m_material = material; }
    Representation GetRepresentation() const { return m_representation; }
    void SetRepresentation(Representation representation) { m_representation = representation; }

    void Serialize(CArchive& ar);

protected:
    Material m_material = DefaultMaterial;
    Representation m_representation = DefaultRepresentation;
};

// Flat-drawn kinds: lines, points, labels, icons, volumes, overlay shapes.
// Its archive form is the GraphicsPrimitive part.
class TESSARY_API UnlitPrimitive : public GraphicsPrimitive {
public:
    UnlitPrimitive() = default;
    explicit UnlitPrimitive(unsigned int id) : GraphicsPrimitive(id) {}
};

}  // namespace Tessary

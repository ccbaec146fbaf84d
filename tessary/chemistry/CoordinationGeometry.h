#pragma once

// CoordinationGeometry: the idealised polyhedra in which ligands surround a
// central atom (linear, tetrahedral, octahedral, prisms, ...), with their
// names, coordination numbers, reference ligand directions and ideal angles,
// and a measure of how far observed ligand directions deviate from a shape,
// together with the best assignment of the observed ligands to the ideal
// positions. Choosing among the shapes is left to the caller.
//
// Angles are in radians. Reference directions are stored in single
// precision; they are unit vectors except those of the stretched trigonal
// antiprism, whose x components are 1.4 times those of the regular one.
//
// Odd cases never throw: unknown types and names give 0, unsupported types
// or a wrong number of directions give a deviation of -1.0 and leave the
// caller's assignment untouched. All tables are constant data, so every
// function may be called from any thread.

#include "tessary/frame/CArray.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Point3d.h"

namespace Tessary {
namespace CoordinationGeometry {

// The numbers are fixed: hosts store and exchange them.
enum CoordinationGeometryType : int {
    NoCoordinationGeometry = 0,
    Linear = 1,                                 // l2
    Angular = 2,                                // a2, a2t4
    AngularTrigonalPlanar = 3,                  // a2tp3
    AngularSquarePlanar = 4,                    // a2sp4
    TrigonalPlanar = 5,                         // tp3
    TrigonalPyramidal = 6,                      // tpy3, tpy3t4
    TrigonalPyramidalTrigonalBipyramidal = 7,   // tpy3tbpy5
    TrigonalPyramidalOctahedral = 8,            // tpy3oc6
    TShaped = 9,                                // ts3
    Tetrahedral = 10,                           // t4
    SquarePlanar = 11,                          // sp4, square
    SquarePyramidal = 12,                       // spy4
    TrigonalPlanarPyramidal = 13,               // tpy4
    SeeSaw = 14,                                // ss4, ss4oc6
    SeeSawTrigonalBipyramidal = 15,             // ss4tbpy5
    TrigonalBipyramidal = 16,                   // tbpy5
    SquarePlanarPyramidal = 17,                 // spy5
    Octahedral = 18,                            // oc6
    TrigonalPrismatic = 19,                     // tpr6
    TrigonalAntiprismatic = 20,                 // tapr6
    TrigonalAntiprismaticStretched = 21,
    PentagonalPlanarPyramidal = 22,             // ppy6
    PentagonalBipyramidal = 23,                 // pbpy7
    OctahedralFaceMonocapped = 24,              // ocf7
    TrigonalPrismaticSquareFaceMonocapped = 25, // tprs7
    Cubic = 26,                                 // cu8
    SquareAntiprismatic = 27,                   // sapr8
    Dodecahedral = 28,                          // dd8
    HexagonalBipyramidal = 29,                  // hbpy8
    HeptagonalBipyramidal = 30                  // hbpy9
};

inline constexpr int kNumCoordinationGeometryTypes = 31;  // values 0 to 30

// Angle constraints for GetCoordinates. The base class constrains nothing
// (0.0 for every pair); pairs are ordered, so (2, 1) is not (1, 2).
class TESSARY_API GeometryConstraint {
public:
    GeometryConstraint() = default;
    GeometryConstraint(const GeometryConstraint&) = default;
    GeometryConstraint& operator=(const GeometryConstraint&) = default;
    virtual ~GeometryConstraint();

    // The angle in radians between ligands i and j (1-based); 0.0 when unconstrained.
    virtual double GetAngleConstraint(int i, int j) const;
};

// The angle between the two ligands of an angular shape: pair (1, 2).
class TESSARY_API A2GeometryConstraint : public GeometryConstraint {
public:
    explicit A2GeometryConstraint(double angle) : m_angle(angle) {}
    double GetAngleConstraint(int i, int j) const override;

protected:
    double m_angle;
};

// The three angles of a trigonal pyramid: pairs (1, 2), (1, 3), (2, 3).
class TESSARY_API TPY3GeometryConstraint : public GeometryConstraint {
public:
    TPY3GeometryConstraint(double a12, double a13, double a23) : m_a12(a12), m_a13(a13), m_a23(a23) {}
    double GetAngleConstraint(int i, int j) const override;

protected:
    double m_a12;
    double m_a13;
    double m_a23;
};

// The angle of each equatorial ligand of a see-saw with its axis: pair (3, 4).
class TESSARY_API SS4GeometryConstraint : public GeometryConstraint {
public:
    explicit SS4GeometryConstraint(double angle) : m_angle(angle) {}
    double GetAngleConstraint(int i, int j) const override;

protected:
    double m_angle;
};

// The number of ligands of t; 0 for values outside 1 to 30.
TESSARY_API int GetCoordinationNumber(CoordinationGeometryType t);

// The type with the given name (whole string, any letter case, no trimming);
// 0 for an empty or unknown name.
TESSARY_API CoordinationGeometryType StringToCoordinationGeometry(const CString& name);

// Fills `points` with the central atom (the origin) followed by the n ligand
// directions of t and returns the new size. Without a constraint these are the
// reference directions (none for types without them: empty, 0). With one,
// only angular, trigonal pyramidal and see-saw shapes are built; any other
// type, or angles that admit no trigonal pyramid, give an empty array and 0.
TESSARY_API int GetCoordinates(CoordinationGeometryType t, Point3d::Array& points,
                               const GeometryConstraint* constraint = nullptr);

// The ideal angle between ligands i and j (1-based) of t: the clamped arc
// cosine of the dot product of their stored reference directions. 0.0 when
// i == j, an index is out of range, or t has no reference directions.
TESSARY_API double GetCoordinationAngle(CoordinationGeometryType t, int i, int j);

// How far the observed ligand directions (normalised, as seen from the central
// atom) deviate from the ideal shape t: 0 for an exact match, 2 for an exact
// trigonal prism. `assignment` receives the best assignment (1-based): for
// most types the observed ligand at each reference position; for the trigonal
// prism and antiprism the reference position of each observed ligand.
// -1.0, with `assignment` untouched, for unsupported types or a direction
// count that is not the coordination number of t.
TESSARY_API double DeviationFromIdealCoordinationGeometry(const Point3d::Array& directions,
                                                          CoordinationGeometryType t, IntArray& assignment);
TESSARY_API double DeviationFromIdealCoordinationGeometry(const Point3d::Array& directions,
                                                          CoordinationGeometryType t);

}  // namespace CoordinationGeometry
}  // namespace Tessary

#pragma once

// Spline: turns a polyline of control points into a denser run of points on
// a smooth curve.
//
// GetCubicSpline evaluates a uniform cubic spline (beta-spline, cardinal
// spline, B-spline) window by window over four consecutive control points,
// `granularity` points per window from parameter 0 up to but excluding 1.
// The 4 x 4 basis matrix and the parameter values are one cache shared by all
// splines: they are rebuilt only when m_recalcMatrix is set (by any setter,
// or by constructing a spline of another type than the last one), and then
// from the parameters of the spline that evaluates at that moment. Two
// splines that evaluate alternately without a setter in between therefore
// share the matrix of whichever rebuilt it last. Hosts rely on this.
// Not synchronised: the cache is process-wide, so all splines together are
// used from one thread at a time.
//
// GetHermiteSpline traces a cubic Hermite curve through the points with
// tangents derived from the points themselves (optionally after smoothing
// them in place), for backbone-style traces. Segments share their end
// points, so `count` points with `perSegment` points per segment give
// (count - 1) * (perSegment - 1) + 1 points.

#include "tessary/frame/CArray.h"
#include "tessary/frame/Export.h"
#include "tessary/geometry/Point3d.h"

namespace Tessary {

class TESSARY_API Spline {
public:
    enum SplineType : int {
        BetaSpline = 0,
        CardinalSpline = 1,
        BSpline = 2,
        NoSpline = 3,  // GetCubicSpline evaluates nothing
    };

    // Granularity 6, tension 1.0 (0.5 for the cardinal spline), bias 0.0.
    explicit Spline(SplineType type);

    // Each setter also marks the shared basis matrix for rebuilding.
    Spline& SetTension(double tension);
    Spline& SetBias(double bias);
    Spline& SetGranularity(int granularity);

    SplineType GetType() const { return m_type; }
    int GetGranularity() const { return m_granularity; }
    double GetTension() const { return m_tension; }
    double GetBias() const { return m_bias; }

    // Replaces out by granularity points per window of four consecutive
    // points, (n - 3) * granularity in all (none below four points or below
    // granularity 1). Always returns 1. For NoSpline with a pending rebuild,
    // out is left as (n + 2) * granularity points: those it held, then zeros.
    int GetCubicSpline(const Point3d::Array& in, Point3d::Array& out) const;

    // Hermite curve through the first `count` points. Tangents at the ends
    // come from `before`/`after` when given. passes > 0 smooths the inner
    // points in place that many times; any non-zero passes then takes the
    // tangents from the (smoothed) points. Returns the number of points
    // written to out, which is sized points.GetSize() * (perSegment + 1).
    // Returns 0, with out emptied, when count < 2, count exceeds the points
    // or perSegment < 1; perSegment 1 gives the start of the last segment only.
    int GetHermiteSpline(Point3d::Array& points, int count, Point3d::Array& out, const Point3d* before,
                         const Point3d* after, int passes, int perSegment, double scale) const;

    // The Hermite segment from p0 to p1 with tangents t0, t1 at parameter s.
    static Point3d HermiteSingle(const Point3d& p0, const Point3d& p1, const Point3d& t0, const Point3d& t1,
                                 const double& s);

    // The cache shared by all splines.
    static bool m_recalcMatrix;
    static double m_matrix[4][4];
    static SplineType m_oldType;
    static DoubleArray m_alpha;

protected:
    // Fill m_matrix from this spline's tension (and bias).
    void GetBetaMatrix() const;
    void GetCardinalMatrix() const;
    void GetBsplineMatrix() const;

    // One coordinate at parameter t of the window (a, b, c, d), with m_matrix.
    double Matrix(double a, double b, double c, double d, double t) const;

    // Writes `count` points of one Hermite segment to out[start...], s running
    // from 0 to 1 inclusive (snapped to 1 in the t0 term within 0.001 of the
    // end; a single point is the start). Slots outside out are skipped.
    static void Hermite1to4(const Point3d& p0, const Point3d& p1, const Point3d& t0, const Point3d& t1,
                            Point3d::Array& out, int start, int count);

private:
    SplineType m_type;
    int m_granularity;
    double m_tension;
    double m_bias;
};

}  // namespace Tessary

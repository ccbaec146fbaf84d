#pragma once

// Plane: an oriented plane kept as a point on it and a normal (stored as
// given, not normalised) together with the equation A x + B y + C z + D = 0
// ready for evaluation. Display lists hold their clip planes this way. As
// the coefficients are not scaled, Apply() is the signed distance times the
// normal's length.

#include "tessary/frame/Export.h"
#include "tessary/geometry/Point3d.h"

namespace Tessary {

class TESSARY_API Plane {
public:
    Plane() = default;
    Plane(const Point3d& point, const Point3d& normal) { Set(point, normal); }
    Plane(const Plane&) = default;
    Plane& operator=(const Plane&) = default;
    virtual ~Plane();

    // A, B, C = normal; D = -(normal . point).
    Plane& Set(const Point3d& point, const Point3d& normal) {
        m_point = point;
        m_normal = normal;
        m_A = normal.x;
        m_B = normal.y;
        m_C = normal.z;
        m_D = -normal.Dot(point);
        return *this;
    }
    void Get(Point3d& point, Point3d& normal) const {
        point = m_point;
        normal = m_normal;
    }
    void GetABCD(double& a, double& b, double& c, double& d) const {
        a = m_A;
        b = m_B;
        c = m_C;
        d = m_D;
    }
    // Positive on the side the normal points to, 0 on the plane.
    double Apply(const Point3d& p) const { return m_A * p.x + m_B * p.y + m_C * p.z + m_D; }

protected:
    Point3d m_point;
    Point3d m_normal;
    double m_A = 0.0;
    double m_B = 0.0;
    double m_C = 0.0;
    double m_D = 0.0;
};

}  // namespace Tessary

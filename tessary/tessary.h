#pragma once

// Umbrella header: every public header of the library.

#include "tessary/color/Color.h"
#include "tessary/color/ColorArray.h"
#include "tessary/color/ColorMap.h"
#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/CMap.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/frame/Library.h"
#include "tessary/frame/Lifecycle.h"
#include "tessary/frame/Serialization.h"
#include "tessary/geometry/Matrix3x3.h"
#include "tessary/geometry/Matrix4x4.h"
#include "tessary/geometry/Plane.h"
#include "tessary/geometry/Point2d.h"
#include "tessary/geometry/Point3d.h"
#include "tessary/geometry/SquareMatrix.h"
#include "tessary/util/Random.h"

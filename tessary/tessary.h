#pragma once

// Umbrella header: every public header of the library.

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/CMap.h"
#include "tessary/frame/CString.h"
#include "tessary/frame/Export.h"
#include "tessary/frame/Library.h"
#include "tessary/frame/Lifecycle.h"
#include "tessary/frame/Serialization.h"

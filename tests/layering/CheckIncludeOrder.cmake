# Checks that the library's folders depend on each other one way only.
#
#   cmake -DROOT=<directory holding tessary/> -P CheckIncludeOrder.cmake
#
# Every file under ROOT/tessary/ may include headers of its own folder and of
# the folders before it in the order below, never of a folder after it. Files
# in tessary/ itself (the umbrella header, the ordered statics) know every
# folder. A public header must not include a detail/ header: detail headers
# are not installed. Only tests (*_test.cpp) may include tests/support, and
# no library file includes tests/, tools/, bench/ or fuzz/. Fails naming file,
# line and include of each breach.

cmake_minimum_required(VERSION 3.25)

set(layers
  frame
  util
  geometry
  color
  chemistry
  graphics/attributes
  graphics/primitives
  graphics/displaylist)

# The one upward include allowed: the point parsers of util/StringUtils read
# and write geometry/Point3d, and keep that dependency inside the .cpp (and
# its test), so no header cycle arises.
set(allowed_upward "^util/StringUtils(_test)?\\.cpp -> geometry/Point3d\\.h$")

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source dir> -P CheckIncludeOrder.cmake")
endif()

# Layer index of a path relative to tessary/, or -1 for the root files.
function(layer_of path out)
  if(NOT path MATCHES "/")
    set(${out} -1 PARENT_SCOPE)
    return()
  endif()
  set(best "")
  set(bestLength 0)
  set(index 0)
  foreach(layer IN LISTS layers)
    string(LENGTH "${layer}" length)
    if(path MATCHES "^${layer}/" AND length GREATER bestLength)
      set(best ${index})
      set(bestLength ${length})
    endif()
    math(EXPR index "${index} + 1")
  endforeach()
  if(best STREQUAL "")
    set(${out} "unknown" PARENT_SCOPE)
  else()
    set(${out} ${best} PARENT_SCOPE)
  endif()
endfunction()

set(breaches "")
file(GLOB_RECURSE files RELATIVE ${ROOT}/tessary ${ROOT}/tessary/*.h ${ROOT}/tessary/*.cpp)
list(SORT files)
foreach(file IN LISTS files)
  layer_of("${file}" fileLayer)
  if(fileLayer STREQUAL "unknown")
    string(APPEND breaches "tessary/${file}: folder has no place in the layer order\n")
    continue()
  endif()
  set(publicHeader FALSE)
  if(file MATCHES "\\.h$" AND NOT file MATCHES "(^|/)detail/")
    set(publicHeader TRUE)
  endif()

  # One list element per line; characters that CMake lists treat specially
  # are neutralised first so line numbers stay right.
  file(READ ${ROOT}/tessary/${file} text)
  string(REPLACE "\\" "/" text "${text}")
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "[" "(" text "${text}")
  string(REPLACE "]" ")" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(lineNumber 0)
  foreach(line IN LISTS lines)
    math(EXPR lineNumber "${lineNumber} + 1")
    if(NOT file MATCHES "_test\\.cpp$" AND
       line MATCHES "^[ \t]*#[ \t]*include[ \t]*[\"<]((tests|tools|bench|fuzz)/[^\">]+)[\">]")
      string(APPEND breaches "tessary/${file}:${lineNumber}: includes ${CMAKE_MATCH_1}: library code must not depend on ${CMAKE_MATCH_2}/\n")
      continue()
    endif()
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[\"<]tessary/([^\">]+)[\">]")
      continue()
    endif()
    set(included "${CMAKE_MATCH_1}")
    set(where "tessary/${file}:${lineNumber}: includes tessary/${included}")
    if(publicHeader AND included MATCHES "(^|/)detail/")
      string(APPEND breaches "${where}: a public header must not include a detail header\n")
    endif()
    if(fileLayer EQUAL -1)
      continue()
    endif()
    layer_of("${included}" includedLayer)
    if(includedLayer STREQUAL "unknown")
      string(APPEND breaches "${where}: folder has no place in the layer order\n")
    elseif(includedLayer GREATER fileLayer AND NOT "${file} -> ${included}" MATCHES "${allowed_upward}")
      list(GET layers ${fileLayer} from)
      list(GET layers ${includedLayer} to)
      string(APPEND breaches "${where}: ${from} must not depend on ${to}, which sits above it\n")
    endif()
  endforeach()
endforeach()

list(LENGTH files count)
if(breaches)
  # NOTICE keeps each breach on one line, so its file:line can be followed.
  message(NOTICE "${breaches}")
  message(FATAL_ERROR "include order broken")
endif()
message(STATUS "include order kept in ${count} files")

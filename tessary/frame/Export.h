#pragma once

// TESSARY_API marks what the shared library exports. Everything else is built
// with hidden visibility, so a symbol a host can reach is one we chose to give it.
#if defined(_WIN32)
#  if defined(TESSARY_BUILDING)
#    define TESSARY_API __declspec(dllexport)
#  else
#    define TESSARY_API __declspec(dllimport)
#  endif
#else
#  define TESSARY_API __attribute__((visibility("default")))
#endif

#if defined(__GNUC__)
#  define TESSARY_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#  define TESSARY_PRINTF_FORMAT(fmt, args)
#endif

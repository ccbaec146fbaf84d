#pragma once

// Names an Eigen anchor after the flags its file was built with
// (TESSARY_EIGEN_FLAGS: baseline or native, set by bench/CMakeLists.txt), so
// the two builds of one anchor stand side by side as <case>/baseline and
// <case>/native.

#include <benchmark/benchmark.h>

#ifndef TESSARY_EIGEN_FLAGS
#error "an Eigen anchor file is built through bench/CMakeLists.txt, which names its flags"
#endif

#define TESSARY_EIGEN_BENCHMARK(fn) BENCHMARK(fn)->Name(#fn "/" TESSARY_EIGEN_FLAGS)

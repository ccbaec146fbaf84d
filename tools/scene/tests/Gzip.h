#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

// `text` as one gzip member, for tests of compressed input.
inline std::string Gzip(const std::string& text) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string packed(deflateBound(&zs, static_cast<uLong>(text.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(packed.data());
    zs.avail_out = static_cast<uInt>(packed.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    packed.resize(zs.total_out);
    deflateEnd(&zs);
    return packed;
}

#include "tessary/frame/CArchive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace Tessary;
using Bytes = std::vector<unsigned char>;

namespace {

template <class Fn>
Bytes Store(Fn&& write) {
    Bytes bytes;
    CArchive ar(bytes, CArchive::store);
    write(ar);
    return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Repeat(unsigned char c, std::size_t n) { return Bytes(n, c); }

CArchiveException::Cause CauseOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const CArchiveException& e) {
        return e.m_cause;
    }
    return CArchiveException::none;
}

}  // namespace

TEST(CArchive, FixedWidthValuesAreLittleEndianImages) {
    const Bytes bytes = Store([](CArchive& ar) {
        ar << static_cast<unsigned char>(0xAB) << true << false << static_cast<short>(-2)
           << static_cast<unsigned short>(0x1234) << -1 << 0x01020304u << 1.0f << -2.0 << 0x0102030405060708LL;
    });
    const Bytes expected = {0xAB, 0x01, 0x00, 0xFE, 0xFF, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x03,
                            0x02, 0x01, 0x00, 0x00, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0x00, 0xC0,
                            0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(bytes, expected);

    Bytes in = bytes;
    CArchive ar(in, CArchive::load);
    unsigned char uc;
    bool t, f;
    short s;
    unsigned short us;
    int i;
    unsigned int u;
    float fl;
    double d;
    long long ll;
    ar >> uc >> t >> f >> s >> us >> i >> u >> fl >> d >> ll;
    EXPECT_EQ(uc, 0xAB);
    EXPECT_TRUE(t);
    EXPECT_FALSE(f);
    EXPECT_EQ(s, -2);
    EXPECT_EQ(us, 0x1234);
    EXPECT_EQ(i, -1);
    EXPECT_EQ(u, 0x01020304u);
    EXPECT_EQ(fl, 1.0f);
    EXPECT_EQ(d, -2.0);
    EXPECT_EQ(ll, 0x0102030405060708LL);
}

TEST(CArchive, AnyNonZeroByteLoadsAsTrue) {
    Bytes in = {7};
    CArchive ar(in, CArchive::load);
    bool b = false;
    ar >> b;
    EXPECT_TRUE(b);
}

TEST(CArchive, SchemaStartsUnset) {
    Bytes bytes;
    CArchive ar(bytes, CArchive::store);
    EXPECT_EQ(ar.m_nObjectSchema, 0xFFFFFFFFu);
    EXPECT_EQ(ar.GetObjectSchema(), 0xFFFFFFFFu);
    ar.SetObjectSchema(7);
    EXPECT_EQ(ar.GetObjectSchema(), 7u);
    EXPECT_TRUE(ar.IsStoring());
    EXPECT_FALSE(ar.IsLoading());
    EXPECT_EQ(CArchive::store, 0);
    EXPECT_EQ(CArchive::load, 1);
}

TEST(CArchive, CountEncodingAtEveryBoundary) {
    struct Case {
        std::uint64_t count;
        Bytes bytes;
    };
    const Case cases[] = {
        {0, {0x00, 0x00}},
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {0x10000, {0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
        {0xFFFFFFFEull, {0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF}},
        {0xFFFFFFFFull, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
        {0x123456789ull, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x89, 0x67, 0x45, 0x23, 0x01, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        Bytes bytes = Store([&](CArchive& ar) { ar.WriteCount(c.count); });
        EXPECT_EQ(bytes, c.bytes);
        CArchive ar(bytes, CArchive::load);
        EXPECT_EQ(ar.ReadCount(), c.count);
    }
}

TEST(CArchive, StringEncodingAtEveryBoundary) {
    struct Case {
        std::size_t length;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {0x10000, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const CString text(std::string(c.length, 'x'));
        Bytes bytes = Store([&](CArchive& ar) { ar << text; });
        EXPECT_EQ(bytes, Concat({c.prefix, Repeat('x', c.length)}));
        CArchive ar(bytes, CArchive::load);
        CString back("old");
        ar >> back;
        EXPECT_EQ(back, text);
    }
}

TEST(CArchive, StringsKeepEmbeddedNulAndHighBytes) {
    const CString text(std::string("a\0b\xFF", 4));
    Bytes bytes = Store([&](CArchive& ar) { ar << text; });
    EXPECT_EQ(bytes, (Bytes{4, 'a', 0, 'b', 0xFF}));
    CArchive ar(bytes, CArchive::load);
    CString back;
    ar >> back;
    EXPECT_EQ(back.GetLength(), 4);
    EXPECT_EQ(back, text);
}

TEST(CArchive, WideStringsLoadAsUtf8) {
    // "Aé€" then U+1F600 as a surrogate pair, announced by 0xFF 0xFFFE.
    Bytes bytes = {0xFF, 0xFE, 0xFF, 0x05, 'A', 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE};
    CArchive ar(bytes, CArchive::load);
    CString text;
    ar >> text;
    EXPECT_EQ(std::string(text), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");

    // An unpaired surrogate becomes U+FFFD; a long wide string uses the word length.
    Bytes lone = {0xFF, 0xFE, 0xFF, 0x01, 0x00, 0xD8};
    CArchive ar2(lone, CArchive::load);
    ar2 >> text;
    EXPECT_EQ(std::string(text), "\xEF\xBF\xBD");

    Bytes longer = Concat({{0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}, {}});
    for (int i = 0; i < 300; ++i) longer.insert(longer.end(), {'z', 0});
    CArchive ar3(longer, CArchive::load);
    ar3 >> text;
    EXPECT_EQ(text, CString('z', 300));

    // Storing always writes the 8-bit form.
    Bytes stored = Store([&](CArchive& out) { out << text; });
    EXPECT_EQ(stored[0], 0xFF);
    EXPECT_EQ(stored[1], 0x2C);
    EXPECT_EQ(stored.size(), 3u + 300u);
}

TEST(CArchive, MalformedInputThrowsWithItsCause) {
    Bytes three = {1, 2, 3};
    EXPECT_EQ(CauseOf([&] {
                  CArchive ar(three, CArchive::load);
                  int v;
                  ar >> v;
              }),
              CArchiveException::endOfFile);
    // A string whose length the input cannot hold is refused before any allocation.
    Bytes hugeString = {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 'a', 'b'};
    EXPECT_EQ(CauseOf([&] {
                  CArchive ar(hugeString, CArchive::load);
                  CString s;
                  ar >> s;
              }),
              CArchiveException::badCount);
    Bytes hugeWide = {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
    EXPECT_EQ(CauseOf([&] {
                  CArchive ar(hugeWide, CArchive::load);
                  CString s;
                  ar >> s;
              }),
              CArchiveException::endOfFile);
    Bytes some = {1, 2, 3, 4};
    EXPECT_EQ(CauseOf([&] {
                  CArchive ar(some, CArchive::load);
                  ar.CheckAvailable(1ull << 62, 16);
              }),
              CArchiveException::badCount);
    EXPECT_EQ(CauseOf([&] {
                  CArchive ar(some, CArchive::load);
                  ar << 1;
              }),
              CArchiveException::readOnly);
    EXPECT_EQ(CauseOf([&] {
                  Bytes out;
                  CArchive ar(out, CArchive::store);
                  int v;
                  ar >> v;
              }),
              CArchiveException::writeOnly);
}

TEST(CArchive, StreamsCarryTheSameBytesAsVectors) {
    const auto write = [](CArchive& ar) { ar << CString(std::string(300, 'q')) << 2.5 << 17; ar.WriteCount(70000); };
    const Bytes bytes = Store(write);
    std::ostringstream out;
    {
        CArchive ar(out);
        write(ar);
    }
    EXPECT_EQ(out.str(), std::string(bytes.begin(), bytes.end()));

    std::istringstream in(out.str() + "tail");
    CArchive ar(in);
    CString s;
    double d;
    int i;
    ar >> s >> d >> i;
    EXPECT_EQ(ar.ReadCount(), 70000u);
    EXPECT_EQ(s.GetLength(), 300);
    EXPECT_EQ(d, 2.5);
    EXPECT_EQ(i, 17);
    // Looking ahead does not lose bytes: Close hands them back to the stream.
    ar.CheckAvailable(4);
    ar.Close();
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "tail");
}

TEST(CArchive, PeekLooksAheadWithoutConsuming) {
    const std::string bytes("\x01\x00\x00\x00\x02\x00\x00\x00\x03", 9);
    for (bool stream : {false, true}) {
        Bytes vector(bytes.begin(), bytes.end());
        std::istringstream in(bytes);
        CArchive vectorArchive(vector, CArchive::load);
        CArchive streamArchive(in);
        CArchive& ar = stream ? streamArchive : vectorArchive;
        const unsigned char* ahead = ar.Peek(8);
        EXPECT_EQ(ahead[4], 2) << stream;
        EXPECT_EQ(CauseOf([&] { ar.Peek(10); }), CArchiveException::badCount) << stream;
        int v;
        ar >> v;
        EXPECT_EQ(v, 1) << "peeking consumed nothing";
        ar.Skip(4);
        EXPECT_EQ(*ar.Peek(1), 3) << stream;
        EXPECT_EQ(CauseOf([&] { ar.Skip(2); }), CArchiveException::badCount) << stream;
        unsigned char last;
        ar >> last;
        EXPECT_EQ(last, 3) << stream;
    }
}

TEST(CArchive, StreamLoadStopsAtTheRealEnd) {
    std::istringstream in(std::string("\x03\x00\x00\x00", 4));
    CArchive ar(in);
    EXPECT_EQ(CauseOf([&] { ar.CheckAvailable(1u << 30, 4); }), CArchiveException::badCount);
    int v;
    ar >> v;
    EXPECT_EQ(v, 3);
    EXPECT_EQ(CauseOf([&] { ar >> v; }), CArchiveException::endOfFile);
}

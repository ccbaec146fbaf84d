// Runs every tokenizer, edit and strict conversion of StringUtils over the
// input, as a CString and as a stream. No input may crash or read out of
// bounds; consuming parsers must always shorten or keep their text.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "tessary/geometry/Point3d.h"
#include "tessary/util/StringUtils.h"

using namespace Tessary;

namespace {

void Consume(CString text, const char* delims, char delim) {
    for (int guard = 0; !text.IsEmpty() && guard < 64; ++guard) {
        const int before = text.GetLength();
        switch (guard % 8) {
            case 0: StringUtils::Parse(text); break;
            case 1: StringUtils::Parse(text, delims); break;
            case 2: StringUtils::Parse(text, delim); break;
            case 3: StringUtils::ParseQuotedString(text); break;
            case 4: StringUtils::ParseRealNumber(text, delims); break;
            case 5: StringUtils::ParseRealNumber(text, delim); break;
            case 6: StringUtils::ParsePoint(text, delims); break;
            case 7: StringUtils::ParsePoint(text, delim); break;
        }
        if (text.GetLength() > before) __builtin_trap();
    }
}

void Streams(const std::string& input, const char* delims, char delim) {
    std::istringstream a(input);
    for (int i = 0; i < 64 && a; ++i) StringUtils::ExtractString(a);
    std::istringstream b(input);
    for (int i = 0; i < 64 && b; ++i) StringUtils::ExtractString(b, delims), b.get();
    std::istringstream c(input);
    for (int i = 0; i < 64 && c; ++i) StringUtils::ExtractString(c, delim);
    std::istringstream d(input);
    for (int i = 0; i < 64 && d; ++i) StringUtils::ExtractLine(d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // Two delimiter bytes, then the text.
    const char delims[3] = {static_cast<char>(data[0]), static_cast<char>(data[1]), '\0'};
    const char delim = static_cast<char>(data[0]);
    const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
    const CString text(input);

    Consume(text, delims, delim);
    (void)StringUtils::Peek(text);
    (void)StringUtils::Peek(text, delims);
    (void)StringUtils::Peek(text, delim);
    (void)StringUtils::PeekQuotedString(text);
    (void)StringUtils::PeekRealNumber(text, delims);
    (void)StringUtils::PeekPoint(text, delim);
    (void)StringUtils::CheckNextCharacter(delim, text);
    (void)StringUtils::CheckQuotedString(text, delim);
    (void)StringUtils::QuoteString(text, delim);

    CString clean(text);
    StringUtils::CleanString(clean);
    if (clean.GetLength() > text.GetLength()) __builtin_trap();
    CString spaces(text);
    StringUtils::RemoveSpaces(spaces);
    if (spaces.GetLength() > text.GetLength()) __builtin_trap();

    CStringArray words;
    for (CString rest(text); !rest.IsEmpty() && words.GetSize() < 64;) words.Add(StringUtils::Parse(rest));
    StringUtils::RemoveDuplicateStrings(words);

    Streams(input, delims, delim);

    const char* s = text;  // up to the first NUL, as C callers pass it
    bool b = false;
    long l = 0;
    int i = 0;
    short sh = 0;
    double d = 0;
    float f = 0;
    Point3d p;
    StringUtils::StringToBoolean(s, b);
    StringUtils::StringToInteger(s, l);
    StringUtils::StringToInteger(s, i);
    StringUtils::StringToInteger(s, sh);
    StringUtils::StringToReal(s, d);
    StringUtils::StringToReal(s, f);
    StringUtils::StringToPoint(s, p);
    return 0;
}

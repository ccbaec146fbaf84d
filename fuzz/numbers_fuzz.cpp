// Text and archive input of the small number and name types: fractions from
// text and archive bytes, Roman numerals, and interned strings loaded from an
// archive. Malformed archives may throw CArchiveException and nothing else.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tessary/frame/CArchive.h"
#include "tessary/util/Rational.h"
#include "tessary/util/RomanNumerals.h"
#include "tessary/util/UniqueString.h"

using namespace Tessary;

namespace {

// Interned texts live as long as the process, so a long fuzzing run that
// interns every new name would grow until the memory limit kills it. Each
// process interns new texts until they hold about this many bytes (text plus
// a rough per-entry overhead); past that, names are read as plain strings
// and only looked up, which still exercises the archive path without growth.
constexpr std::size_t kInternBudgetBytes = std::size_t{4} << 20;
constexpr std::size_t kInternEntryOverhead = 64;
std::size_t g_internedBytes = 0;

void LoadName(CArchive& ar) {
    if (g_internedBytes >= kInternBudgetBytes) {
        CString text;
        ar >> text;
        const CString* found = UniqueString::m_table.Find(std::string_view(text.str()));
        if (found != &UniqueStringTable::null && *found != text) __builtin_trap();
        return;
    }
    const int before = UniqueString::m_table.GetCount();
    UniqueString name("");
    name.Serialize(ar);
    if (name.StringPtr() != UniqueString::m_table.Find(std::string_view(name.String().str()))) __builtin_trap();
    if (UniqueString::m_table.GetCount() != before)
        g_internedBytes += static_cast<std::size_t>(name.String().GetLength()) + kInternEntryOverhead;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::istringstream text(input);
    Rational r(1, 2);
    for (int i = 0; i < 16 && text; ++i) {
        text >> r;
        (void)r.CalcValue();
        (void)r.String();
        Rational s(r);
        s += r;
        s *= r;
        s /= r;
        s -= r;
        (void)(s < r);
    }

    int value = 0;
    if (RomanNumerals::RomanNumeralToInteger(input, value)) {
        std::string back;
        RomanNumerals::IntegerToRomanNumeral(value, back);
        int again = 0;
        if (!RomanNumerals::RomanNumeralToInteger(back, again) || again != value) __builtin_trap();
    } else if (value != 0) {
        __builtin_trap();
    }

    std::vector<unsigned char> bytes(input.begin(), input.end());
    CArchive ar(bytes, CArchive::load);
    try {
        for (int i = 0; i < 2; ++i) {
            LoadName(ar);
            ar >> r;
            // A loaded fraction is stable: storing and loading it again changes nothing.
            std::vector<unsigned char> stored;
            CArchive out(stored, CArchive::store);
            out << r;
            CArchive back(stored, CArchive::load);
            Rational again;
            back >> again;
            if (again.String() != r.String()) __builtin_trap();
        }
    } catch (const CArchiveException&) {
        // Malformed input ends here.
    }
    return 0;
}

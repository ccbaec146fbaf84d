// Text utilities against their anchors on the same input in the same run.
//
// * Filters: 1,000,000 atom-name-like subjects (1 to 6 characters drawn from
//   the names of a protein with hydrogens) matched whole against typical
//   user filters, by RegExpression, RE2 (FullMatch), PCRE2 with its JIT
//   (anchored at both ends) and std::regex (regex_match). Items are matches, so the time per item is ns per match.
// * Interning: 1,000,000 names drawn from 50,000 distinct ones, interned by
//   UniqueString and inserted into a std::unordered_set<std::string>; both
//   tables persist across iterations, so after the first pass both look up.
// * Tokenizing: 100 MB of numeric lines, read line by line and split with
//   StringUtils::Parse, against a std::istringstream reading tokens with >>.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "tessary/util/RegExpression.h"
#include "tessary/util/StringUtils.h"
#include "tessary/util/UniqueString.h"

#if defined(TESSARY_HAVE_RE2)
#include <re2/re2.h>
#endif
#if defined(TESSARY_HAVE_PCRE2)
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

using namespace Tessary;

namespace {

constexpr int kSubjects = 1000000;
const char* const kFilters[] = {"C[AB]", "^O.*", "H.*", "(CA|CB|N)$", "[^H].*", "*1"};

const std::vector<std::string>& Subjects() {
    static const std::vector<std::string> subjects = [] {
        const char* names[] = {"N",   "CA",  "C",    "O",    "CB",   "CG",   "CG1",  "CG2",  "CD",   "CD1",
                               "CD2", "CE",  "CE1",  "CE2",  "CZ",   "NZ",   "OG",   "OG1",  "OD1",  "OD2",
                               "OE1", "OE2", "NE2",  "ND2",  "SD",   "SG",   "OXT",  "H",    "HA",   "HB2",
                               "HB3", "HG",  "HD21", "HD22", "HE21", "HH11", "HH12", "HZ1",  "H1",   "NH1",
                               "NH2", "OH",  "HN",   "HA2",  "HA3",  "C1'",  "O5'",  "HO5'", "MG",   "ZN"};
        std::mt19937 rng(17);
        std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(names)) - 1);
        std::vector<std::string> out;
        out.reserve(kSubjects);
        for (int i = 0; i < kSubjects; ++i) out.emplace_back(names[pick(rng)]);
        return out;
    }();
    return subjects;
}

const std::vector<CString>& CSubjects() {
    static const std::vector<CString> subjects(Subjects().begin(), Subjects().end());
    return subjects;
}

// The anchors see the expression the filter means: a leading "*" is ".*".
std::string Expanded(const char* filter) { return filter[0] == '*' ? std::string(".") + filter : filter; }

void BM_Filter_Tessary(benchmark::State& state) {
    RegExpression re(kFilters[state.range(0)], false);
    const std::vector<CString>& subjects = CSubjects();
    std::int64_t matched = 0;
    for (auto _ : state) {
        for (const CString& s : subjects) matched += re.Match(s, true);
    }
    benchmark::DoNotOptimize(matched);
    state.SetItemsProcessed(state.iterations() * kSubjects);
    state.SetLabel(kFilters[state.range(0)]);
    state.counters["matched"] = static_cast<double>(matched) / static_cast<double>(state.iterations());
}

#if defined(TESSARY_HAVE_RE2)
void BM_Filter_RE2(benchmark::State& state) {
    const RE2 re(Expanded(kFilters[state.range(0)]));
    const std::vector<std::string>& subjects = Subjects();
    std::int64_t matched = 0;
    for (auto _ : state) {
        for (const std::string& s : subjects) matched += RE2::FullMatch(s, re);
    }
    benchmark::DoNotOptimize(matched);
    state.SetItemsProcessed(state.iterations() * kSubjects);
    state.SetLabel(kFilters[state.range(0)]);
    state.counters["matched"] = static_cast<double>(matched) / static_cast<double>(state.iterations());
}
#endif

#if defined(TESSARY_HAVE_PCRE2)
void BM_Filter_PCRE2Jit(benchmark::State& state) {
    const std::string pattern = Expanded(kFilters[state.range(0)]);
    int code = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.c_str()), PCRE2_ZERO_TERMINATED,
                                   PCRE2_ANCHORED | PCRE2_ENDANCHORED, &code, &offset, nullptr);
    if (!re || pcre2_jit_compile(re, PCRE2_JIT_COMPLETE) != 0) {
        if (re) pcre2_code_free(re);
        state.SkipWithError("PCRE2 compile or JIT failed");
        return;
    }
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(re, nullptr);
    const std::vector<std::string>& subjects = Subjects();
    std::int64_t matched = 0;
    for (auto _ : state) {
        for (const std::string& s : subjects)
            matched += pcre2_jit_match(re, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0, 0, data, nullptr) >= 0;
    }
    pcre2_match_data_free(data);
    pcre2_code_free(re);
    benchmark::DoNotOptimize(matched);
    state.SetItemsProcessed(state.iterations() * kSubjects);
    state.SetLabel(kFilters[state.range(0)]);
    state.counters["matched"] = static_cast<double>(matched) / static_cast<double>(state.iterations());
}
#endif

void BM_Filter_StdRegex(benchmark::State& state) {
    const std::regex re(Expanded(kFilters[state.range(0)]));
    const std::vector<std::string>& subjects = Subjects();
    std::int64_t matched = 0;
    for (auto _ : state) {
        for (const std::string& s : subjects) matched += std::regex_match(s, re);
    }
    benchmark::DoNotOptimize(matched);
    state.SetItemsProcessed(state.iterations() * kSubjects);
    state.SetLabel(kFilters[state.range(0)]);
    state.counters["matched"] = static_cast<double>(matched) / static_cast<double>(state.iterations());
}

void FilterArgs(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < static_cast<int>(std::size(kFilters)); ++i) b->Arg(i);
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Filter_Tessary)->Apply(FilterArgs);
#if defined(TESSARY_HAVE_RE2)
BENCHMARK(BM_Filter_RE2)->Apply(FilterArgs);
#endif
#if defined(TESSARY_HAVE_PCRE2)
BENCHMARK(BM_Filter_PCRE2Jit)->Apply(FilterArgs);
#endif
BENCHMARK(BM_Filter_StdRegex)->Apply(FilterArgs);

const std::vector<std::string>& Names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> distinct;
        for (int i = 0; i < 50000; ++i) distinct.push_back("R" + std::to_string(i * 7919 % 1000003) + "_CA");
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> pick(0, 49999);
        std::vector<std::string> out;
        out.reserve(1000000);
        for (int i = 0; i < 1000000; ++i) out.push_back(distinct[static_cast<std::size_t>(pick(rng))]);
        return out;
    }();
    return names;
}

void BM_Intern_UniqueString(benchmark::State& state) {
    const std::vector<std::string>& names = Names();
    for (auto _ : state) {
        for (const std::string& n : names) {
            UniqueString u(n.c_str());
            benchmark::DoNotOptimize(u.StringPtr());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(names.size()));
}

void BM_Intern_UnorderedSet(benchmark::State& state) {
    const std::vector<std::string>& names = Names();
    std::unordered_set<std::string> set;
    for (auto _ : state) {
        for (const std::string& n : names) {
            auto it = set.insert(n).first;
            benchmark::DoNotOptimize(&*it);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(names.size()));
}

BENCHMARK(BM_Intern_UniqueString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Intern_UnorderedSet)->Unit(benchmark::kMillisecond);

const std::string& NumericText() {
    static const std::string text = [] {
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> coord(-100.0, 100.0);
        std::string out;
        out.reserve(100u << 20);
        char line[128];
        while (out.size() < (100u << 20)) {
            std::snprintf(line, sizeof line, "%8.3f %8.3f %8.3f %6.2f %6.2f %d\n", coord(rng), coord(rng),
                          coord(rng), coord(rng) / 100.0 + 1.0, coord(rng) / 5.0 + 20.0,
                          static_cast<int>(out.size() % 9973));
            out += line;
        }
        return out;
    }();
    return text;
}

void BM_Tokenize_StringUtilsParse(benchmark::State& state) {
    const std::string& text = NumericText();
    std::int64_t tokens = 0;
    for (auto _ : state) {
        std::istringstream in(text);
        while (in) {
            CString line = StringUtils::ExtractLine(in);
            while (!line.IsEmpty()) tokens += !StringUtils::Parse(line).IsEmpty();
        }
    }
    benchmark::DoNotOptimize(tokens);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_Tokenize_Istringstream(benchmark::State& state) {
    const std::string& text = NumericText();
    std::int64_t tokens = 0;
    for (auto _ : state) {
        std::istringstream in(text);
        std::string token;
        while (in >> token) ++tokens;
    }
    benchmark::DoNotOptimize(tokens);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

BENCHMARK(BM_Tokenize_StringUtilsParse)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Tokenize_Istringstream)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

// The benchmarks' main: Google Benchmark's console output, then one table of
// every bulk pass against the memcpy case of the same total bytes (see
// Bandwidth.h). With --benchmark_repetitions the table takes the median rate
// of each side and shows how far the repetitions spread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const auto rate = run.counters.find("bytes_per_second");
            const auto read = run.counters.find("bytes_read");
            const auto written = run.counters.find("bytes_written");
            if (rate == run.counters.end() || read == run.counters.end() || written == run.counters.end()) continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
            Case& c = m_cases[name];
            if (c.rates.empty()) m_order.push_back(name);
            c.order = {run.family_index, run.per_family_instance_index};
            c.total = read->second.value + written->second.value;
            c.rates.push_back(rate->second.value);
        }
    }

    void Finalize() override {
        // In the order the cases were registered, whatever order they ran in.
        std::sort(m_order.begin(), m_order.end(),
                  [this](const std::string& a, const std::string& b) { return m_cases[a].order < m_cases[b].order; });
        std::ostream& out = GetOutputStream();
        bool header = false;
        for (const std::string& name : m_order) {
            if (IsMemcpy(name)) continue;
            const Case& pass = m_cases[name];
            const std::string anchor = AnchorOf(pass.total);
            if (anchor.empty()) continue;
            const Case& copy = m_cases[anchor];
            char line[256];
            if (!header) {
                std::snprintf(line, sizeof line, "\n%-36s %8s %8s %7s %7s %7s  %s\n",
                              "(read + written) per second, GiB/s", "pass", "memcpy", "ratio", "spread", "spread",
                              "memcpy case");
                out << line;
                header = true;
            }
            const double p = Median(pass.rates), c = Median(copy.rates);
            std::snprintf(line, sizeof line, "%-36s %8.2f %8.2f %6.1f%% %7s %7s  %s\n", name.c_str(), p / (1 << 30),
                          c / (1 << 30), 100.0 * p / c, Spread(pass.rates).c_str(), Spread(copy.rates).c_str(),
                          anchor.c_str());
            out << line;
        }
        ConsoleReporter::Finalize();
    }

private:
    struct Case {
        std::pair<std::int64_t, std::int64_t> order;  // family, instance
        double total = 0;                             // bytes read + bytes written per iteration
        std::vector<double> rates;
    };

    static bool IsMemcpy(const std::string& name) { return name.rfind("Memcpy/", 0) == 0; }
    // The memcpy case that moves the same total, if the run had one.
    std::string AnchorOf(double total) const {
        for (const std::string& name : m_order)
            if (IsMemcpy(name) && m_cases.at(name).total == total) return name;
        return {};
    }
    static double Median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
    }
    // (max - min) / median: the repetitions' noise; "-" for a single run.
    static std::string Spread(const std::vector<double>& v) {
        if (v.size() < 2) return "-";
        const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
        char text[16];
        std::snprintf(text, sizeof text, "%.0f%%", 100.0 * (*hi - *lo) / Median(v));
        return text;
    }

    std::vector<std::string> m_order;
    std::map<std::string, Case> m_cases;
};

}  // namespace

int main(int argc, char** argv) {
    // Another display format asked for: leave the display to the library.
    bool console = true;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--benchmark_format=", 19) == 0) console = std::strcmp(argv[i] + 19, "console") == 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(console ? &reporter : nullptr);
    benchmark::Shutdown();
    return 0;
}

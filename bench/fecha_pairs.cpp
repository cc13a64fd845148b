// fecha_pairs EXTENSION LABEL OUT_CSV [CALLS]
//
// fecha as a host calls it: loaded by file name through the stand-in host and
// called CALLS times (default 100,000) with its four outputs, the C++
// library's system clock read right after each call. Appends to OUT_CSV one
// line (with a header line first if the file is new):
//   label,calls,incierto p50, p99 and worst (ns),
//   system clock after the call - utc: p50, least and most (us),
//   error_sistema (ms), utc - t of the first call (ms, to the ns)
// and prints it. Built for Linux and, run under Wine, for Windows.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "loader.hpp"

namespace {

double quantile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const std::size_t rank = static_cast<std::size_t>(p * static_cast<double>(values.size()) + 0.999999);
    return values[std::min(values.size(), std::max<std::size_t>(rank, 1)) - 1];
}

double systemMsNow() {
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: fecha_pairs EXTENSION LABEL OUT_CSV [CALLS]\n");
        return 2;
    }
    const int calls = argc > 4 ? std::atoi(argv[4]) : 100000;
    std::string why;
    const std::optional<host::Extension> fecha = host::loadExtension(argv[1], why);
    if (!fecha || calls < 1) {
        std::fprintf(stderr, "fecha_pairs: %s\n", fecha ? "CALLS must be positive" : why.c_str());
        return 2;
    }
    std::vector<double> inciertoNs, afterUs;
    double errorMs = 0, firstOffsetMs = 0;
    for (int i = 0; i <= calls; ++i) {  // the first call loads what it needs: not counted
        const host::Outcome outcome = host::callExtension(*fecha, 4, {});
        const double after = systemMsNow();
        if (!outcome.error.empty() || outcome.values.size() != 4) {
            std::fprintf(stderr, "fecha_pairs: %s\n", outcome.error.c_str());
            return 1;
        }
        const std::vector<double>& v = outcome.values;
        if (i == 1) firstOffsetMs = v[1] - v[0];
        if (i == 0) continue;
        inciertoNs.push_back(v[2] * 1e6);
        afterUs.push_back((after - v[1]) * 1e3);
        errorMs = v[3];
    }
    host::unloadExtension(*fecha);
    char line[512];
    std::snprintf(line, sizeof line, "%s,%d,%.1f,%.1f,%.1f,%.2f,%.2f,%.2f,%g,%.6f", argv[2], calls,
                  quantile(inciertoNs, 0.5), quantile(inciertoNs, 0.99), quantile(inciertoNs, 1.0),
                  quantile(afterUs, 0.5), quantile(afterUs, 0.0), quantile(afterUs, 1.0), errorMs, firstOffsetMs);
    FILE* out = std::fopen(argv[3], "a");
    if (out == nullptr) {
        std::fprintf(stderr, "fecha_pairs: cannot write %s\n", argv[3]);
        return 1;
    }
    std::fseek(out, 0, SEEK_END);  // Windows' C library puts an appending file's position at 0 until a write
    if (std::ftell(out) == 0) {
        std::fprintf(out, "label,calls,incierto_p50_ns,incierto_p99_ns,incierto_max_ns,after_p50_us,after_min_us,"
                          "after_max_us,error_sistema_ms,utc_minus_t_ms\n");
    }
    std::fprintf(out, "%s\n", line);
    std::fclose(out);
    std::printf("fecha %s\n", line);
    return 0;
}

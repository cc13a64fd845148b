// fecha_pairs EXTENSION LABEL OUT_CSV [CALLS]
//
// fecha as a host calls it: loaded by file name through the stand-in host and
// called CALLS times (default 100,000) with its four outputs, the C++
// library's system clock read right after each call. Appends to OUT_CSV a
// line for each call (with a header line first if the file is new):
//   label, incierto (ns), system clock after the call - utc (us),
//   error_sistema (ms), utc - t (ms, to the ns)
// which bench/summarise.m reckons the figures from. Built for Linux and, run
// under Wine, for Windows.
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "loader.hpp"

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
    std::vector<std::array<double, 5>> pairs;  // the four outputs, then the clock after, in ms
    for (int i = 0; i <= calls; ++i) {         // the first call loads what it needs: not counted
        const host::Outcome outcome = host::callExtension(*fecha, 4, {});
        const std::chrono::duration<double, std::milli> after = std::chrono::system_clock::now().time_since_epoch();
        if (!outcome.error.empty() || outcome.values.size() != 4) {
            std::fprintf(stderr, "fecha_pairs: %s\n", outcome.error.c_str());
            return 1;
        }
        const std::vector<double>& v = outcome.values;
        if (i > 0) pairs.push_back({v[0], v[1], v[2], v[3], after.count()});
    }
    host::unloadExtension(*fecha);
    FILE* out = std::fopen(argv[3], "ab");  // binary: lines end in \n under Windows too
    if (out == nullptr) {
        std::fprintf(stderr, "fecha_pairs: cannot write %s\n", argv[3]);
        return 1;
    }
    std::fseek(out, 0, SEEK_END);  // Windows' C library puts an appending file's position at 0 until a write
    if (std::ftell(out) == 0) std::fprintf(out, "label,incierto_ns,after_us,error_sistema_ms,utc_minus_t_ms\n");
    for (const std::array<double, 5>& v : pairs)
        std::fprintf(out, "%s,%.1f,%.2f,%g,%.6f\n", argv[2], v[2] * 1e6, (v[4] - v[1]) * 1e3, v[3], v[1] - v[0]);
    std::fclose(out);
    std::printf("fecha_pairs: %d calls of fecha, %s\n", calls, argv[2]);
    return 0;
}

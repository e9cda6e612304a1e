// What every benchmark does with its times: runs the program and its baseline side by side and
// prints their medians, the ratio of the medians, and the median of the ratios within each pair,
// which follows the drifting load of a shared machine least.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

namespace figures {

// Milliseconds. MinGW's steady_clock reads the system time, which Windows moves on only every
// few milliseconds; its precise clock is the performance counter.
inline double now_ms() {
#ifdef _WIN32
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
#else
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double, std::milli>(now).count();
#endif
}

template <class Run>
double time_ms(Run&& run) {
    const double start = now_ms();
    run();
    return now_ms() - start;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// The program's figure and its baseline's, once per round.
struct Pairs {
    std::vector<double> ours, base;
};

// `rounds` rounds of `ours` and `base`, each returning its figure; which goes first alternates.
template <class Ours, class Base>
Pairs side_by_side(int rounds, Ours&& ours, Base&& base) {
    Pairs pairs;
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            pairs.ours.push_back(ours());
        }
        pairs.base.push_back(base());
        if (i % 2 == 1) {
            pairs.ours.push_back(ours());
        }
    }
    return pairs;
}

// Rows of a table: "| what: ours | median 1.00 ms |", the baseline's, then the ratios.
inline void print(const std::string& what,
                  const char* ours,
                  const char* base,
                  const Pairs& pairs,
                  const char* unit = "ms") {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < pairs.ours.size(); ++i) {
        ratios.push_back(pairs.ours[i] / pairs.base[i]);
    }
    for (const auto& [name, values] : {std::pair{ours, pairs.ours}, std::pair{base, pairs.base}}) {
        std::printf("| %-40s | median %9.2f %-3s |\n", (what + ": " + name).c_str(), median(values),
                    unit);
    }
    std::printf("| %-40s | medians %7.3fx     | median of pairs %.3fx |\n",
                (what + ": ratio").c_str(), median(pairs.ours) / median(pairs.base),
                median(ratios));
}

}  // namespace figures

// What the benchmark programs share: Cyrillic test texts, the generated database files they
// remove when they end, and the statistic the runs are compared by.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "framework/rtl/Text.h"

namespace bench {

inline const char8_t* const Words[] = {
    u8"Архив", u8"управления", u8"культуры", u8"фонд",      u8"опись",         u8"дело",  u8"Комитет", u8"по",
    u8"делам", u8"района",     u8"области",  u8"городской", u8"администрации", u8"отдел", u8"учёта",   u8"документов"};

// UTF-8 text of words from the list, cut to a length of minChars..maxChars characters.
inline std::string RandomText(std::mt19937& rng, size_t minChars, size_t maxChars) {
    std::uniform_int_distribution<size_t> len(minChars, maxChars);
    std::uniform_int_distribution<size_t> word(0, std::size(Words) - 1);
    const size_t target = len(rng);
    std::u16string w;
    while (w.size() < target) {
        if (!w.empty()) w += u' ';
        w += rtl::UTF8ToWide(std::u8string_view(Words[word(rng)]));
    }
    w.resize(target);
    return rtl::WideToUTF8(w);
}

// A database file in the temporary folder named after the program and its process.
inline std::string TempDatabasePath(const std::string& tag) {
    return (std::filesystem::temp_directory_path() / ("velmorat_" + tag + "_" + std::to_string(::getpid()) + ".sdb"))
        .string();
}

// A generated database file (and its journal), removed when the program ends.
struct TBenchFile {
    std::string Path;
    TBenchFile() = default;
    TBenchFile(const TBenchFile&) = delete;
    TBenchFile& operator=(const TBenchFile&) = delete;
    ~TBenchFile() {
        if (Path.empty()) return;
        std::error_code ec;
        std::filesystem::remove(Path, ec);
        std::filesystem::remove(Path + "-journal", ec);
    }
};

// On a shared machine the fastest repetition is the one least disturbed: compare minimums.
inline double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace bench

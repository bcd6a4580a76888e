// Basic value types shared by every layer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

// Single-byte text in the process code page, 1251 (Cyrillic).
using AnsiString = std::string;
// UTF-16 text.
using WideString = std::u16string;
// UTF-8 text; a separate name documents which encoding a std::string holds.
using UTF8String = std::string;

using TBytes = std::vector<uint8_t>;

// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

// Fixed-point money: a 64-bit count of ten-thousandths.
struct Currency {
    int64_t Value = 0;  // scaled by 10000

    static constexpr int64_t Scale = 10000;
    constexpr Currency() = default;
    static constexpr Currency FromScaled(int64_t scaled) {
        Currency c;
        c.Value = scaled;
        return c;
    }
    friend constexpr bool operator==(Currency a, Currency b) { return a.Value == b.Value; }
    friend constexpr auto operator<=>(Currency a, Currency b) { return a.Value <=> b.Value; }
};

// Day number since 0001-01-01 (day 1) and milliseconds since midnight.
struct TTimeStamp {
    int32_t Time = 0;
    int32_t Date = 0;
};

// The 16-byte SQL time stamp record.
struct TSQLTimeStamp {
    int16_t Year = 0;
    uint16_t Month = 0;
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint32_t Fractions = 0;  // milliseconds
};
static_assert(sizeof(TSQLTimeStamp) == 16);

// The 34-byte packed decimal: precision, sign bit (0x80) with the number of decimal places in the
// low six bits, and 64 decimal digits packed two to a byte, high nibble first.
struct TBcd {
    uint8_t Precision = 0;
    uint8_t SignSpecialPlaces = 0;
    uint8_t Fraction[32] = {};
};
static_assert(sizeof(TBcd) == 34);

struct TGUID {
    uint32_t D1 = 0;
    uint16_t D2 = 0;
    uint16_t D3 = 0;
    uint8_t D4[8] = {};
    friend bool operator==(const TGUID&, const TGUID&) = default;
};
static_assert(sizeof(TGUID) == 16);

}  // namespace rtl

#include "framework/rtl/SysUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/rtl/SysUtils_Internal.h"
#include "framework/rtl/Text.h"
#include "framework/rtl/Variant.h"

namespace rtl {

using namespace sysutils_detail;

// --- Format ----------------------------------------------------------------------------------

namespace {

// One "%[index:][-][width][.precision]type" directive; width and precision are -1 when absent.
struct TDirective {
    bool LeftAlign = false;
    int Width = -1;
    int Precision = -1;
    char Type = 0;  // upper case
};

bool AsInt64(const TVarRec& a, int64_t& v) {
    if (a.Kind == TVarRec::vtInteger || a.Kind == TVarRec::vtInt64) {
        v = a.VInt64;
        return true;
    }
    if (a.Kind == TVarRec::vtUInt64) {
        if (a.VUInt64 > uint64_t(INT64_MAX)) return false;
        v = static_cast<int64_t>(a.VUInt64);
        return true;
    }
    if (a.Kind == TVarRec::vtVariant) {
        try {
            v = a.VVariant->AsInt64();
        } catch (const Exception&) {
            return false;
        }
        return true;
    }
    return false;
}

bool AsDecimal(const TVarRec& a, TDecimal& d, bool& currency) {
    currency = false;
    if (a.Kind == TVarRec::vtExtended) {
        if (!std::isfinite(a.VExtended)) return false;
        d = FloatToDecimal(a.VExtended, 17, kNoLimit);
        return true;
    }
    if (a.Kind == TVarRec::vtCurrency) {
        d = ScaledToDecimal(a.VCurrency, 4);
        currency = true;
        return true;
    }
    if (a.Kind == TVarRec::vtVariant) {
        const Variant& v = *a.VVariant;
        try {
            if (v.VType() == varCurrency) {
                d = ScaledToDecimal(v.AsCurrency().Value, 4);
                currency = true;
            } else {
                d = FloatToDecimal(v.AsDouble(), 17, kNoLimit);
            }
        } catch (const Exception&) {
            return false;
        }
        return true;
    }
    return false;
}

// Each conversion returns false when the argument does not suit it.

bool FormatDecimalArg(const TVarRec& a, char type, int prec, AnsiString& piece) {
    int64_t v;
    if (!AsInt64(a, v) && !(a.Kind == TVarRec::vtUInt64 && type == 'U')) return false;
    std::string digits;
    bool neg = false;
    if (a.Kind == TVarRec::vtUInt64) {
        digits = std::to_string(a.VUInt64);
    } else if (type == 'U' && v < 0) {
        // The platform's %u shows the 32-bit pattern of a negative integer.
        digits = a.Kind == TVarRec::vtInteger ? std::to_string(static_cast<uint32_t>(v))
                                              : std::to_string(static_cast<uint64_t>(v));
    } else {
        neg = v < 0;
        digits = neg ? std::to_string(0 - static_cast<uint64_t>(v)) : std::to_string(v);
    }
    PadLeft(digits, prec);
    piece = (neg ? "-" : "") + digits;
    return true;
}

bool FormatHexArg(const TVarRec& a, int prec, AnsiString& piece) {
    int64_t v;
    uint64_t u;
    if (a.Kind == TVarRec::vtUInt64)
        u = a.VUInt64;
    else if (AsInt64(a, v))
        u = a.Kind == TVarRec::vtInteger ? static_cast<uint32_t>(v) : static_cast<uint64_t>(v);
    else
        return false;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(u));
    piece = buf;
    PadLeft(piece, prec);
    return true;
}

bool FormatFloatArg(const TVarRec& a, char type, int prec, const TFormatSettings& fs, AnsiString& piece) {
    TDecimal d;
    bool cur;
    if (!AsDecimal(a, d, cur)) {
        if (a.Kind != TVarRec::vtExtended) return false;
        piece = SpecialFloat(a.VExtended);
        return true;
    }
    const int p15 = cur ? 19 : 15;
    switch (type) {
        case 'E': piece = DecimalToStrF(d, ffExponent, prec < 0 ? 15 : std::min(prec, 18), 3, fs, false); break;
        case 'F': piece = DecimalToStrF(d, ffFixed, p15, prec < 0 ? 2 : prec, fs, cur); break;
        case 'G': piece = DecimalToStrF(d, ffGeneral, prec < 0 ? 15 : std::clamp(prec, 1, 18), 0, fs, cur); break;
        case 'N': piece = DecimalToStrF(d, ffNumber, p15, prec < 0 ? 2 : prec, fs, cur); break;
        default: piece = DecimalToStrF(d, ffCurrency, p15, prec < 0 ? fs.CurrencyDecimals : prec, fs, cur); break;
    }
    return true;
}

bool FormatTextArg(const TVarRec& a, int prec, AnsiString& piece) {
    switch (a.Kind) {
        case TVarRec::vtAnsiString: piece = AnsiString(a.VAnsi); break;
        case TVarRec::vtWideString: piece = WideToAnsi(a.VWide); break;
        case TVarRec::vtChar: piece = AnsiString(1, a.VChar); break;
        case TVarRec::vtBoolean: piece = a.VBoolean ? "True" : "False"; break;
        case TVarRec::vtVariant: try { piece = VarToStr(*a.VVariant);
            } catch (const Exception&) {
                return false;
            }
            break;
        default: return false;
    }
    if (prec >= 0 && static_cast<int>(piece.size()) > prec) piece.resize(prec);
    return true;
}

bool Convert(const TVarRec& a, const TDirective& d, const TFormatSettings& fs, AnsiString& piece) {
    switch (d.Type) {
        case 'D':
        case 'U': return FormatDecimalArg(a, d.Type, d.Precision, piece);
        case 'X': return FormatHexArg(a, d.Precision, piece);
        case 'E':
        case 'F':
        case 'G':
        case 'N':
        case 'M': return FormatFloatArg(a, d.Type, d.Precision, fs, piece);
        case 'P': {
            if (a.Kind != TVarRec::vtPointer) return false;
            char buf[32];
            std::snprintf(buf, sizeof buf, "%016llX",
                          static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(a.VPointer)));
            piece = buf;
            return true;
        }
        case 'C':
            if (a.Kind == TVarRec::vtChar)
                piece = AnsiString(1, a.VChar);
            else if (a.Kind == TVarRec::vtInteger && a.VInt64 >= 0 && a.VInt64 <= 255)
                piece = AnsiString(1, static_cast<char>(a.VInt64));
            else
                return false;
            return true;
        case 'S': return FormatTextArg(a, d.Precision, piece);
        default: return false;
    }
}

// Walks the format text, taking arguments in order or by index.
class TFormatter {
public:
    TFormatter(std::string_view fmt, std::initializer_list<TVarRec> args, const TFormatSettings& fs)
        : FFmt(fmt), FArgs(args.begin()), FCount(static_cast<int>(args.size())), FSettings(fs) {}

    AnsiString Run() {
        AnsiString out;
        while (FPos < FFmt.size()) {
            const char c = FFmt[FPos++];
            if (c != '%') {
                out.push_back(c);
                continue;
            }
            if (FPos >= FFmt.size()) Fail();
            if (FFmt[FPos] == '%') {
                out.push_back('%');
                ++FPos;
                continue;
            }
            const TDirective d = ReadDirective();
            if (FNext < 0 || FNext >= FCount) Fail();
            AnsiString piece;
            if (!Convert(FArgs[FNext++], d, FSettings, piece)) Fail();
            if (d.Width > 0 && static_cast<int>(piece.size()) < d.Width) {
                const AnsiString pad(d.Width - piece.size(), ' ');
                piece = d.LeftAlign ? piece + pad : pad + piece;
            }
            out += piece;
        }
        return out;
    }

private:
    [[noreturn]] void Fail() const { ConvertError(kInvalidFormat, FFmt); }

    // A "*" takes the next argument, which must be an integer.
    int TakeInt() {
        if (FNext >= FCount) Fail();
        const TVarRec& a = FArgs[FNext++];
        if (a.Kind != TVarRec::vtInteger && a.Kind != TVarRec::vtInt64) Fail();
        // Out-of-range values would wrap around in a narrowing cast.
        return static_cast<int>(std::clamp<int64_t>(a.VInt64, -1, kMaxFormatWidth));
    }

    bool ReadNumber(int& v) {
        if (FPos < FFmt.size() && FFmt[FPos] == '*') {
            v = TakeInt();
            ++FPos;
            return true;
        }
        if (FPos < FFmt.size() && FFmt[FPos] >= '0' && FFmt[FPos] <= '9') {
            v = 0;
            while (FPos < FFmt.size() && FFmt[FPos] >= '0' && FFmt[FPos] <= '9') {
                if (v <= kMaxFormatWidth / 10) v = v * 10 + (FFmt[FPos] - '0');
                ++FPos;
            }
            return true;
        }
        return false;
    }

    // [index:] [-] [width] [.precision] type, from just after the '%'.
    TDirective ReadDirective() {
        TDirective d;
        int n = -1;
        if (ReadNumber(n) && FPos < FFmt.size() && FFmt[FPos] == ':') {
            ++FPos;
            FNext = n;
            n = -1;
        }
        if (n < 0) {
            if (FPos < FFmt.size() && FFmt[FPos] == '-') {
                d.LeftAlign = true;
                ++FPos;
            }
            ReadNumber(d.Width);
        } else {
            d.Width = n;
        }
        if (FPos < FFmt.size() && FFmt[FPos] == '.') {
            ++FPos;
            if (!ReadNumber(d.Precision)) d.Precision = 0;
        }
        if (FPos >= FFmt.size()) Fail();
        const char t = FFmt[FPos++];
        d.Type = static_cast<char>(t >= 'a' && t <= 'z' ? t - 32 : t);
        return d;
    }

    std::string_view FFmt;
    const TVarRec* FArgs;
    int FCount;
    const TFormatSettings& FSettings;
    size_t FPos = 0;
    int FNext = 0;
};

}  // namespace

AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args) {
    return Format(fmt, args, FormatSettings());
}

AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args, const TFormatSettings& fs) {
    return TFormatter(fmt, args, fs).Run();
}

}  // namespace rtl

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteCollationUni.h"
#include "data/sqlite/LiteConstsUni.h"
#include "data/sqlite/LiteFunctionUni.h"
#include "data/sqlite/LiteStaticUni.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Text.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace sqlite {

using namespace daccess;

daccess::TConverterManager* TLiteMapRules::GetConverterManager() { return LiteConverterManager(); }

// ---------------------------------------------------------------------------------------------
// Text conversion

AnsiString TSQLiteConnection::EncodeString(std::string_view Value, bool UTF8) {
    return UTF8 ? rtl::AnsiToUTF8(Value) : AnsiString(Value);
}

AnsiString TSQLiteConnection::EncodeWideString(std::u16string_view Value, bool UTF8) {
    return UTF8 ? rtl::WideToUTF8(Value) : rtl::WideToAnsi(Value);
}

namespace {

// The 1251 byte of every well-formed two- and three-byte UTF-8 sequence, taken from the runtime's
// own decoder once, so that the fetch loops below give exactly its result. Pairs are indexed by
// their two bytes (lead byte high) less 0x8000, 0 marking a pair that is not one (no pair gives
// byte 0); three-byte sequences by their code point, surrogates excluded.
struct TDecodeTables {
    uint8_t Pair[0x8000] = {};
    uint8_t Triple[0x10000] = {};
    TDecodeTables() {
        for (unsigned lead = 0xC2; lead <= 0xDF; ++lead)
            for (unsigned cont = 0x80; cont <= 0xBF; ++cont) {
                const char seq[2] = {static_cast<char>(lead), static_cast<char>(cont)};
                char out = '?';
                rtl::UTF8ToAnsiBuf(std::string_view(seq, 2), &out, 1);
                Pair[((lead << 8) | cont) - 0x8000] = static_cast<uint8_t>(out);
            }
        for (unsigned cp = 0x800; cp <= 0xFFFF; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF) continue;
            const char seq[3] = {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                                 static_cast<char>(0x80 | (cp & 0x3F))};
            char out = '?';
            rtl::UTF8ToAnsiBuf(std::string_view(seq, 3), &out, 1);
            Triple[cp] = static_cast<uint8_t>(out);
        }
    }
};

const TDecodeTables& DecodeTables() {
    static const TDecodeTables tables;
    return tables;
}

// The code point of a well-formed three-byte sequence at p (p + 2 < end), or 0.
inline unsigned Triple(const uint8_t* p) {
    if ((p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return 0;
    const unsigned cp = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? cp : 0;
}

// Sixteen bytes at a time for text of ASCII and two-byte sequences, the bulk of what an archive
// stores: the bytes are classed and converted side by side and the lead bytes squeezed out with
// one shuffle, where a character at a time costs a mispredicted branch at every word's edges.
// Chunks holding anything else are left to the character loops; only what is decoded is written.
#if defined(__x86_64__)
constexpr bool HaveChunks = true;

// For each set of kept bytes of an 8-byte half (bit i: byte i stays): shuffles that gather them
// (Head), and that gather the last four of them (Tail), as bytes and as 16-bit units, and how
// many there are. Written with a head and a tail store, N kept values land exactly.
struct TSqueezeTable {
    uint8_t Head[256][8] = {};
    uint8_t Tail[256][8] = {};
    uint8_t WideHead[256][16] = {};
    uint8_t WideTail[256][16] = {};
    uint8_t Count[256] = {};
    TSqueezeTable() {
        for (unsigned m = 0; m < 256; ++m) {
            uint8_t kept[8] = {};
            unsigned n = 0;
            for (unsigned i = 0; i < 8; ++i)
                if (m & (1u << i)) kept[n++] = static_cast<uint8_t>(i);
            Count[m] = static_cast<uint8_t>(n);
            for (unsigned j = 0; j < 8; ++j) {
                Head[m][j] = kept[j];
                WideHead[m][2 * j] = static_cast<uint8_t>(2 * kept[j]);
                WideHead[m][2 * j + 1] = static_cast<uint8_t>(2 * kept[j] + 1);
            }
            // The tails are used with four kept values or more.
            for (unsigned j = 0; j < 4 && n >= 4; ++j) {
                const uint8_t k = kept[n - 4 + j];
                Tail[m][j] = k;
                WideTail[m][2 * j] = static_cast<uint8_t>(2 * k);
                WideTail[m][2 * j + 1] = static_cast<uint8_t>(2 * k + 1);
            }
        }
    }
};

const TSqueezeTable& SqueezeTable() {
    static const TSqueezeTable table;
    return table;
}

bool CpuHasChunks() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

// The classes of one chunk: the bytes kept (not lead bytes, nor a lead ending the chunk, nor the
// From bytes in front that were decoded before) and the chunk's length taken.
struct TChunk {
    __m128i Bytes, Prev;
    unsigned Keep = 0, Taken = 16;
};

// False unless every sequence from byte From on is a well-formed pair whose lead LeadsOk accepts.
__attribute__((target("ssse3"))) inline bool ClassifyChunk(__m128i v, TChunk& c, __m128i LeadsOk, unsigned From) {
    const unsigned from = 0xFFFFu & ~((1u << From) - 1);
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v)) & from;
    c.Bytes = v;
    c.Prev = _mm_slli_si128(v, 1);
    if (!high) {
        c.Keep = from;
        c.Taken = 16;
        return true;
    }
    // 80..BF read as signed bytes lie below C0.
    const unsigned cont = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(char(0xC0))))) & from;
    unsigned lead = high & ~cont;
    if ((static_cast<unsigned>(_mm_movemask_epi8(LeadsOk)) & lead) != lead) return false;
    // A lead ending the chunk starts the next one.
    c.Taken = 16 - (lead >> 15);
    lead &= 0x7FFF;
    if (((lead << 1) & 0xFFFF) != cont) return false;
    c.Keep = ~lead & ((1u << c.Taken) - 1) & from;
    return true;
}

// Writes the kept bytes of one half of Values at Out; returns how many. Every pair keeps its
// continuation byte, so a half of a whole chunk keeps four bytes or more.
__attribute__((target("ssse3"))) inline unsigned SqueezeHalf(__m128i Values, unsigned Keep, unsigned Half,
                                                             uint8_t* Out) {
    const TSqueezeTable& t = SqueezeTable();
    const unsigned m = (Keep >> (8 * Half)) & 0xFF;
    const __m128i base = _mm_set1_epi8(static_cast<char>(8 * Half));
    const __m128i head = _mm_add_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t.Head[m])), base);
    const __m128i tail = _mm_add_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t.Tail[m])), base);
    const unsigned n = t.Count[m];
    const auto first = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi8(Values, head)));
    const auto last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi8(Values, tail)));
    std::memcpy(Out, &first, 4);
    std::memcpy(Out + n - 4, &last, 4);
    return n;
}

// The same for eight 16-bit units.
__attribute__((target("ssse3"))) inline unsigned SqueezeUnits(__m128i Units, unsigned Mask, uint8_t* Out) {
    const TSqueezeTable& t = SqueezeTable();
    const unsigned n = t.Count[Mask];
    const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.WideHead[Mask]));
    const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.WideTail[Mask]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Out), _mm_shuffle_epi8(Units, head));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Out + 2 * n - 8), _mm_shuffle_epi8(Units, tail));
    return n;
}

// Copies N (0-16) bytes exactly.
inline void CopyExact(uint8_t* Dest, const uint8_t* Src, unsigned N) {
    if (N >= 8) {
        std::memcpy(Dest, Src, 8);
        std::memcpy(Dest + N - 8, Src + N - 8, 8);
    } else {
        for (unsigned i = 0; i < N; ++i) Dest[i] = Src[i];
    }
}

__attribute__((target("ssse3"))) inline __m128i AnsiLeads(__m128i v) {
    return _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(char(0xFE))), _mm_set1_epi8(char(0xD0)));
}

// Leads C2..DF: above C1 and below E0 as signed bytes.
__attribute__((target("ssse3"))) inline __m128i WideLeads(__m128i v) {
    return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(char(0xC1))), _mm_cmplt_epi8(v, _mm_set1_epi8(char(0xE0))));
}

// The 1251 bytes of a classified chunk holding only ASCII and the letters U+0410..U+044F, Ё and
// ё, or false when it holds anything else.
__attribute__((target("ssse3"))) inline bool ConvertAnsi(const TChunk& c, __m128i& Values) {
    const __m128i v = c.Bytes;
    // A pair's place among the 128 code points from U+0400: the lead's low bit, then the
    // continuation's six bits.
    const __m128i index =
        _mm_or_si128(_mm_slli_epi16(_mm_and_si128(c.Prev, _mm_set1_epi8(1)), 6), _mm_and_si128(v, _mm_set1_epi8(0x3F)));
    const __m128i shifted = _mm_add_epi8(index, _mm_set1_epi8(0x30));
    const __m128i letter = _mm_cmpeq_epi8(_mm_and_si128(shifted, _mm_set1_epi8(char(0xC0))), _mm_set1_epi8(0x40));
    const __m128i yoUpper = _mm_cmpeq_epi8(index, _mm_set1_epi8(0x01));
    const __m128i yoLower = _mm_cmpeq_epi8(index, _mm_set1_epi8(0x51));
    const __m128i known = _mm_or_si128(letter, _mm_or_si128(yoUpper, yoLower));
    const __m128i isAscii = _mm_cmpgt_epi8(v, _mm_set1_epi8(-1));
    const unsigned cont = c.Keep & ~static_cast<unsigned>(_mm_movemask_epi8(isAscii));
    if ((static_cast<unsigned>(_mm_movemask_epi8(known)) & cont) != cont) return false;
    __m128i decoded = _mm_and_si128(letter, _mm_add_epi8(index, _mm_set1_epi8(char(0xB0))));
    decoded = _mm_or_si128(decoded, _mm_and_si128(yoUpper, _mm_set1_epi8(char(0xA8))));
    decoded = _mm_or_si128(decoded, _mm_and_si128(yoLower, _mm_set1_epi8(char(0xB8))));
    // ASCII bytes stay; continuation bytes become their letters.
    Values = _mm_or_si128(_mm_and_si128(isAscii, v), _mm_andnot_si128(isAscii, decoded));
    return true;
}

// The UTF-16 units of one half of a classified chunk: a continuation gives the lead's five bits
// over its own six; ASCII stands for itself.
__attribute__((target("ssse3"))) inline __m128i WideUnits(const TChunk& c, unsigned Half) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = Half ? _mm_unpackhi_epi8(c.Bytes, zero) : _mm_unpacklo_epi8(c.Bytes, zero);
    const __m128i prev = Half ? _mm_unpackhi_epi8(c.Prev, zero) : _mm_unpacklo_epi8(c.Prev, zero);
    const __m128i pair = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(prev, _mm_set1_epi16(0x1F)), 6),
                                      _mm_and_si128(bytes, _mm_set1_epi16(0x3F)));
    const __m128i isAscii = _mm_cmplt_epi16(bytes, _mm_set1_epi16(0x80));
    return _mm_or_si128(_mm_and_si128(isAscii, bytes), _mm_andnot_si128(isAscii, pair));
}

// Decodes whole chunks into 1251 while they hold only ASCII and the letters U+0410..U+044F, Ё
// and ё; stops at the first chunk with anything else. Fewer than 16 bytes left are taken as the
// end of the text's last sixteen (Begin..End holding that many).
__attribute__((target("ssse3"))) void DecodeChunksAnsi(const uint8_t* Begin, const uint8_t*& p, const uint8_t* end,
                                                       char*& out) {
    TChunk c;
    __m128i values;
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (!ClassifyChunk(v, c, AnsiLeads(v), 0)) return;
        if (c.Keep == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
            out += 16;
            p += 16;
            continue;
        }
        if (!ConvertAnsi(c, values)) return;
        auto* o = reinterpret_cast<uint8_t*>(out);
        o += SqueezeHalf(values, c.Keep, 0, o);
        o += SqueezeHalf(values, c.Keep, 1, o);
        out = reinterpret_cast<char*>(o);
        p += c.Taken;
    }
    if (p == end || end - Begin < 16) return;
    const uint8_t* q = end - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    if (!ClassifyChunk(v, c, AnsiLeads(v), static_cast<unsigned>(p - q))) return;
    if (!ConvertAnsi(c, values)) return;
    const TSqueezeTable& t = SqueezeTable();
    const unsigned lo = c.Keep & 0xFF, hi = c.Keep >> 8;
    uint64_t loIdx, hiIdx;
    std::memcpy(&loIdx, t.Head[lo], 8);
    std::memcpy(&hiIdx, t.Head[hi], 8);
    const __m128i gather = _mm_add_epi8(_mm_set_epi64x(static_cast<long long>(hiIdx), static_cast<long long>(loIdx)),
                                        _mm_set_epi64x(0x0808080808080808LL, 0));
    alignas(16) uint8_t packed[32] = {};
    _mm_store_si128(reinterpret_cast<__m128i*>(packed), _mm_shuffle_epi8(values, gather));
    auto* o = reinterpret_cast<uint8_t*>(out);
    CopyExact(o, packed, t.Count[lo]);
    CopyExact(o + t.Count[lo], packed + 8, t.Count[hi]);
    out += t.Count[lo] + t.Count[hi];
    p = q + c.Taken;
}

// Decodes whole chunks into UTF-16 while they hold only ASCII and two-byte sequences, the end of
// the text as above.
__attribute__((target("ssse3"))) void DecodeChunksWide(const uint8_t* Begin, const uint8_t*& p, const uint8_t* end,
                                                       char16_t*& out) {
    TChunk c;
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (!ClassifyChunk(v, c, WideLeads(v), 0)) return;
        auto* o = reinterpret_cast<uint8_t*>(out);
        const unsigned n = SqueezeUnits(WideUnits(c, 0), c.Keep & 0xFF, o);
        out += n + SqueezeUnits(WideUnits(c, 1), c.Keep >> 8, o + 2 * n);
        p += c.Taken;
    }
    if (p == end || end - Begin < 16) return;
    const uint8_t* q = end - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    if (!ClassifyChunk(v, c, WideLeads(v), static_cast<unsigned>(p - q))) return;
    const TSqueezeTable& t = SqueezeTable();
    auto* o = reinterpret_cast<uint8_t*>(out);
    for (unsigned half = 0; half < 2; ++half) {
        const unsigned m = (c.Keep >> (8 * half)) & 0xFF;
        alignas(16) uint8_t units[32] = {};
        const __m128i gather = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.WideHead[m]));
        _mm_store_si128(reinterpret_cast<__m128i*>(units), _mm_shuffle_epi8(WideUnits(c, half), gather));
        CopyExact(o, units, 2u * t.Count[m]);
        o += 2 * t.Count[m];
    }
    out = reinterpret_cast<char16_t*>(o);
    p = q + c.Taken;
}

// Sixty-four bytes at a time where the processor compresses bytes in a register: the pairs led by
// D0/D1 (Cyrillic) and C2 (Latin-1 signs such as « and ») are looked up in tables taken from the
// runtime's decoder, so their result is its result. The end of the text is loaded and stored
// under a mask: nothing is read or written outside the text and what it decodes to.
#define VELMORAT_TARGET_WIDE_CHUNKS __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi2,popcnt")))

struct TWideChunkTables {
    alignas(64) uint8_t Cyrillic[128];  // D0 80..BF, then D1 80..BF
    alignas(64) uint8_t Latin[64];      // C2 80..BF
    TWideChunkTables() {
        const TDecodeTables& t = DecodeTables();
        for (unsigned i = 0; i < 64; ++i) {
            Cyrillic[i] = t.Pair[((0xD0u << 8) | (0x80 + i)) - 0x8000];
            Cyrillic[64 + i] = t.Pair[((0xD1u << 8) | (0x80 + i)) - 0x8000];
            Latin[i] = t.Pair[((0xC2u << 8) | (0x80 + i)) - 0x8000];
        }
    }
};

const TWideChunkTables& WideChunkTables() {
    static const TWideChunkTables tables;
    return tables;
}

bool CpuHasWideChunks() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
                            __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return has;
}

// Decodes chunks into 1251 while they hold only ASCII and pairs led by C2, D0 or D1; stops at
// the first chunk with anything else, or at the end of the text.
VELMORAT_TARGET_WIDE_CHUNKS void DecodeWideChunksAnsi(const uint8_t*& From, const uint8_t* end, char*& To) {
    // Kept in registers: the caller's pointers are stored back once.
    const uint8_t* p = From;
    char* out = To;
    const TWideChunkTables& t = WideChunkTables();
    const __m512i cyrLo = _mm512_load_si512(t.Cyrillic);
    const __m512i cyrHi = _mm512_load_si512(t.Cyrillic + 64);
    const __m512i latin = _mm512_load_si512(t.Latin);
    while (p < end) {
        const auto left = static_cast<size_t>(end - p);
        const unsigned avail = left >= 64 ? 64u : static_cast<unsigned>(left);
        const __mmask64 loaded = _bzhi_u64(~0ull, avail);
        const __m512i v = _mm512_maskz_loadu_epi8(loaded, p);
        const __mmask64 high = _mm512_movepi8_mask(v);
        if (!high) {
            _mm512_mask_storeu_epi8(out, loaded, v);
            out += avail;
            p += avail;
            continue;
        }
        // 80..BF read as signed bytes lie below C0.
        const __mmask64 cont = _mm512_mask_cmplt_epi8_mask(high, v, _mm512_set1_epi8(char(0xC0)));
        __mmask64 lead = high & ~cont;
        __mmask64 cyr = _mm512_mask_cmpeq_epi8_mask(lead, _mm512_and_si512(v, _mm512_set1_epi8(char(0xFE))),
                                                    _mm512_set1_epi8(char(0xD0)));
        __mmask64 lat = _mm512_mask_cmpeq_epi8_mask(lead, v, _mm512_set1_epi8(char(0xC2)));
        if ((cyr | lat) != lead) break;
        // A lead ending what was loaded starts the next chunk.
        unsigned taken = avail;
        const __mmask64 last = __mmask64(1) << (taken - 1);
        if (lead & last) {
            lead &= ~last;
            cyr &= ~last;
            lat &= ~last;
            --taken;
        }
        if ((lead << 1) != cont || !taken) break;
        // A continuation's place in the tables: its six bits, under the lead's low bit for D0/D1.
        const __mmask64 afterD1 = (cyr & _mm512_test_epi8_mask(v, _mm512_set1_epi8(1))) << 1;
        __m512i index = _mm512_and_si512(v, _mm512_set1_epi8(0x3F));
        index = _mm512_mask_blend_epi8(afterD1, index, _mm512_or_si512(index, _mm512_set1_epi8(0x40)));
        __m512i values = _mm512_mask_blend_epi8(cont, v, _mm512_permutex2var_epi8(cyrLo, index, cyrHi));
        values = _mm512_mask_permutexvar_epi8(values, lat << 1, index, latin);
        const __mmask64 keep = ~lead & _bzhi_u64(~0ull, taken);
        const auto n = static_cast<unsigned>(_mm_popcnt_u64(keep));
        _mm512_mask_storeu_epi8(out, _bzhi_u64(~0ull, n), _mm512_maskz_compress_epi8(keep, values));
        out += n;
        p += taken;
    }
    From = p;
    To = out;
}
#undef VELMORAT_TARGET_WIDE_CHUNKS
#else
constexpr bool HaveChunks = false;
inline bool CpuHasChunks() { return false; }
inline bool CpuHasWideChunks() { return false; }
inline void DecodeWideChunksAnsi(const uint8_t*&, const uint8_t*, char*&) {}
inline void DecodeChunksAnsi(const uint8_t*, const uint8_t*&, const uint8_t*, char*&) {}
inline void DecodeChunksWide(const uint8_t*, const uint8_t*&, const uint8_t*, char16_t*&) {}
#endif

std::atomic<unsigned> ChunkLimit{~0u};

bool UseWideChunks() { return ChunkLimit.load(std::memory_order_relaxed) >= 64 && CpuHasWideChunks(); }
bool UseChunks() { return ChunkLimit.load(std::memory_order_relaxed) >= 16 && CpuHasChunks(); }

// Bounded says whether the destination can fill up before the text ends.
template <bool Bounded>
size_t DecodeFast(const uint8_t* s, size_t Length, char* Dest, size_t MaxLen) {
    const TDecodeTables& t = DecodeTables();
    const uint8_t* p = s;
    const uint8_t* const end = s + Length;
    char* out = Dest;
    char* const outEnd = Dest + MaxLen;
    const bool wideChunks = !Bounded && HaveChunks && UseWideChunks();
    const bool chunks = !Bounded && HaveChunks && Length >= 16 && UseChunks();
    // Where the character loop hands back to the chunks: past a chunk they could not take.
    const uint8_t* resume = p;
    while (p < end && (!Bounded || out < outEnd)) {
        if (wideChunks && p >= resume) {
            DecodeWideChunksAnsi(p, end, out);
            resume = p + 16;
            if (p >= end) break;
        } else if (chunks && p >= resume) {
            DecodeChunksAnsi(s, p, end, out);
            resume = p + 16;
            if (p >= end) break;
        }
        const uint8_t b = *p;
        if (b < 0x80) {
            *out++ = static_cast<char>(b);
            ++p;
            continue;
        }
        if (b < 0xE0) {
            if (p + 1 < end) {
                const uint8_t a = t.Pair[((unsigned(b) << 8) | p[1]) - 0x8000];
                if (a) {
                    *out++ = static_cast<char>(a);
                    p += 2;
                    continue;
                }
            }
        } else if (b < 0xF0 && p + 2 < end) {
            if (const unsigned cp = Triple(p)) {
                *out++ = static_cast<char>(t.Triple[cp]);
                p += 3;
                continue;
            }
        }
        const size_t done = static_cast<size_t>(out - Dest);
        return done +
               rtl::UTF8ToAnsiBuf(std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p)), out,
                                  MaxLen - done);
    }
    return static_cast<size_t>(out - Dest);
}

}  // namespace

unsigned TSQLiteConnection::TextChunkBytes() { return UseWideChunks() ? 64 : UseChunks() ? 16 : 0; }

void TSQLiteConnection::LimitTextChunkBytes(unsigned Bytes) { ChunkLimit.store(Bytes, std::memory_order_relaxed); }

size_t TSQLiteConnection::DecodeUTF8To(const char* Value, size_t Length, char* Dest, size_t MaxLen) {
    // Every input byte gives at most one output byte, so a destination as long as the text needs
    // no check of its own.
    const auto* s = reinterpret_cast<const uint8_t*>(Value);
    return MaxLen >= Length ? DecodeFast<false>(s, Length, Dest, MaxLen) : DecodeFast<true>(s, Length, Dest, MaxLen);
}

size_t TSQLiteConnection::DecodeUTF8ToWide(const char* Value, size_t Length, char16_t* Dest) {
    const auto* const begin = reinterpret_cast<const uint8_t*>(Value);
    const uint8_t* p = begin;
    const uint8_t* const end = p + Length;
    char16_t* out = Dest;
    const bool chunks = HaveChunks && Length >= 16 && UseChunks();
    const uint8_t* resume = p;
    while (p < end) {
        if (chunks && p >= resume) {
            DecodeChunksWide(begin, p, end, out);
            resume = p + 16;
            if (p >= end) break;
        }
        const uint8_t b = *p;
        if (b < 0x80) {
            *out++ = b;
            ++p;
            continue;
        }
        if (b >= 0xC2 && b < 0xE0 && p + 1 < end && (p[1] & 0xC0) == 0x80) {
            *out++ = static_cast<char16_t>(((b & 0x1Fu) << 6) | (p[1] & 0x3Fu));
            p += 2;
            continue;
        }
        if (b >= 0xE0 && b < 0xF0 && p + 2 < end) {
            if (const unsigned cp = Triple(p)) {
                *out++ = static_cast<char16_t>(cp);
                p += 3;
                continue;
            }
        }
        if (b >= 0xF0 && b <= 0xF4 && p + 3 < end && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80 &&
            (p[3] & 0xC0) == 0x80) {
            const unsigned cp = ((b & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
            if (cp >= 0x10000 && cp <= 0x10FFFF) {
                *out++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                *out++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                p += 4;
                continue;
            }
        }
        // Malformed text: the runtime's decoder says what it becomes; it never gives more units
        // than bytes.
        const WideString rest =
            rtl::UTF8ToWide(std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p)));
        std::memcpy(out, rest.data(), rest.size() * sizeof(char16_t));
        out += rest.size();
        break;
    }
    return static_cast<size_t>(out - Dest);
}

AnsiString TSQLiteConnection::DecodeString(const char* Value, size_t Length, bool UTF8) {
    if (!Value) return AnsiString();
    if (!UTF8) return AnsiString(Value, Length);
    AnsiString out(Length, '\0');
    out.resize(DecodeUTF8To(Value, Length, out.data(), Length));
    return out;
}

WideString TSQLiteConnection::DecodeToWide(const char* Value, size_t Length, bool UTF8) {
    if (!Value) return WideString();
    if (!UTF8) return rtl::AnsiToWide(std::string_view(Value, Length));
    return rtl::UTF8ToWide(std::string_view(Value, Length));
}

// ---------------------------------------------------------------------------------------------
// Connection

TSQLiteConnection::TSQLiteConnection() : FAPI(rtl::Create<TSQLite3API>()) {}

TSQLiteConnection::~TSQLiteConnection() {
    try {
        Disconnect();
    } catch (...) {
    }
    FFunctionManager.reset();
    FCollationManager.reset();
    FTypes.reset();
    FInternalCommand.reset();
    FAPI.reset();
}

const TCRCommandClass& TSQLiteConnection::GetCommandClass() const { return TSQLiteCommand::StaticClass(); }

const TCRTransactionClass& TSQLiteConnection::GetTransactionClass() const { return TSQLiteTransaction::StaticClass(); }

TCRMapRules* TSQLiteConnection::CreateMapRules() { return rtl::Create<TLiteMapRules>(); }

TSQLiteTypes* TSQLiteConnection::GetTypes() {
    if (!FTypes) FTypes.reset(rtl::Create<TSQLiteTypes>(this));
    return FTypes.get();
}

TSQLiteCollationManager* TSQLiteConnection::GetCollationManager() {
    if (!FCollationManager) FCollationManager.reset(rtl::Create<TSQLiteCollationManager>(this));
    return FCollationManager.get();
}

TSQLiteFunctionManager* TSQLiteConnection::GetFunctionManager() {
    if (!FFunctionManager) FFunctionManager.reset(rtl::Create<TSQLiteFunctionManager>(this));
    return FFunctionManager.get();
}

TSQLiteCommand* TSQLiteConnection::InternalCommand() {
    if (!FInternalCommand) {
        FInternalCommand.reset(rtl::Create<TSQLiteCommand>());
        FInternalCommand->SetConnection(this);
    }
    return FInternalCommand.get();
}

void TSQLiteConnection::CheckFailed(int ErrorCode) {
    ProcessError(ErrorCode, FAPI->ErrorMessage(), FComponent);
    // ProcessError always raises; this only keeps the promise of the declaration.
    rtl::Abort();
}

void TSQLiteConnection::ProcessError(int ErrorCode, const AnsiString& Msg, rtl::TComponent* Component) {
    ESQLiteError e(ErrorCode, Msg);
    e.SetComponent(Component);
    bool fail = true;
    DoError(&e, &fail);
    if (fail) throw e;
    rtl::Abort();
}

void TSQLiteConnection::ExecuteInternal(const AnsiString& SQL) {
    TSQLiteCommand* cmd = InternalCommand();
    cmd->SetSQL(SQL);
    cmd->Execute();
}

void TSQLiteConnection::SetKey(const AnsiString& Key) {
    if (FAPI->Direct()) return;
    Check(FAPI->sqlite3_key(FAPI->SQLite, Key.data(), static_cast<int>(Key.size())));
}

void TSQLiteConnection::ApplyBusyTimeout() { Check(FAPI->sqlite3_busy_timeout(FAPI->SQLite, FBusyTimeout)); }

void TSQLiteConnection::ApplyReadUncommitted() {
    ExecuteInternal(FReadUncommitted ? "PRAGMA read_uncommitted = true" : "PRAGMA read_uncommitted = false");
}

void TSQLiteConnection::ApplyForeignKeys() {
    ExecuteInternal(FForeignKeys ? "PRAGMA foreign_keys = ON" : "PRAGMA foreign_keys = OFF");
}

void TSQLiteConnection::ApplyDefaultCollations() {
    if (FDefaultCollations)
        GetCollationManager()->RegisterDefaultCollations();
    else
        GetCollationManager()->UnregisterDefaultCollations();
}

void TSQLiteConnection::Connect(const AnsiString& ConnectString) {
    if (FConnected) return;
    if (!FForceCreateDatabase && !FDatabase.empty() && FDatabase != ":memory:") {
        std::filesystem::path file(rtl::AnsiToUTF8(FDatabase));
        std::filesystem::path folder = file.parent_path();
        std::error_code ec;
        if (!folder.empty() && std::filesystem::is_directory(folder, ec) && !std::filesystem::exists(file, ec))
            throw rtl::Exception(SDatabaseDoesNotExist);
    }
    if (FDirect && FEncryptionAlgorithm == leDefault && !FEncryptionKey.empty())
        throw rtl::Exception(SEncryptionKeyMustBeEmpty);
    if (!FAPI->Loaded()) {
        FAPI->SetDirect(FDirect);
        FAPI->SetClientLibrary(FClientLibrary);
        FAPI->Load();
    }
    // A handle that an earlier close could not release is closed now rather than dropped.
    if (FAPI->SQLite && FNativeConnection) CloseHandle();
    FAPI->SQLite = nullptr;
    try {
        if (!FAPI->Direct()) Check(FAPI->sqlite3_enable_shared_cache(FEnableSharedCache ? 1 : 0));
        rtl::UTF8String name = rtl::AnsiToUTF8(FDatabase);
        sqlite3* db = nullptr;
        // Direct mode opens through the page codec, keyed before the engine reads the header.
        int rc = FAPI->Direct() ? OpenCodecDatabase(name.c_str(), &db, FEncryptionKey, FEncryptionAlgorithm)
                                : FAPI->sqlite3_open(name.c_str(), &db);
        FAPI->SQLite = db;
        Check(rc);
        if (!FEncryptionKey.empty()) SetKey(FEncryptionKey);
        // The probe is the first read: it must already wait out another process's commit.
        ApplyBusyTimeout();
        ExecuteInternal("select * from sqlite_master");
        FConnected = true;
        ApplyReadUncommitted();
        ApplyForeignKeys();
        // Collations added while closed take effect now; the default ones follow the option as it
        // stands, whatever it was when the list was last registered.
        if (FCollationManager) FCollationManager->RegisterAll();
        ApplyDefaultCollations();
        FNativeConnection = true;
        GetFunctionManager()->RegisterAll();
        TCRConnection::Connect(ConnectString);
    } catch (const EFailOver&) {
        return;
    } catch (...) {
        if (FInternalCommand) FInternalCommand->Unprepare();
        if (FAPI->SQLite) {
            CloseHandle();
            FAPI->SQLite = nullptr;
        }
        FConnected = false;
        throw;
    }
}

int64_t TSQLiteConnection::TotalChanges() {
    if (!FAPI->SQLite || FAPI->sqlite3_total_changes == NotLinkedStub<decltype(&::sqlite3_total_changes)>) return -1;
    return FAPI->sqlite3_total_changes(FAPI->SQLite);
}

// The one place a handle this connection opened is closed: the close's result decides (busy: the
// live statements are finalized and it is tried again; any other failure keeps the handle, which
// the caller reports), which a deleter could not tell anyone.
int TSQLiteConnection::CloseHandle() {
    int rc = FAPI->sqlite3_close(FAPI->SQLite);
    if (rc == SQLITE_BUSY) {
        // Statements still prepared keep the database open: finalize what is left and try again.
        // Their commands see the handle gone through the live-statement registry.
        for (TSQLiteCommand* cmd : std::vector<TSQLiteCommand*>(FLiveCommands.begin(), FLiveCommands.end()))
            cmd->Unprepare();
        rc = FAPI->sqlite3_close(FAPI->SQLite);
    }
    return rc;
}

void TSQLiteConnection::Disconnect() {
    if (!FConnected) return;
    FConnected = false;
    if (FNativeConnection) {
        if (FInternalCommand) FInternalCommand->Unprepare();
        int rc = CloseHandle();
        if (rc != SQLITE_OK) {
            // The database is still open: keep its handle so that nothing leaks, and report.
            AnsiString msg = FAPI->ErrorMessage();
            FConnected = true;
            ProcessError(rc, msg, FComponent);
        }
    }
    FAPI->SQLite = nullptr;
    FNativeConnection = true;
}

void TSQLiteConnection::Assign(TCRConnection* Source) {
    TCRConnection::Assign(Source);
    auto* src = static_cast<TSQLiteConnection*>(Source);
    FDatabase = src->FDatabase;
    FClientLibrary = src->FClientLibrary;
    FASCIIDataBase = src->FASCIIDataBase;
    FBusyTimeout = src->FBusyTimeout;
    FDefaultCollations = src->FDefaultCollations;
    FEncryptionKey = src->FEncryptionKey;
    FEnableSharedCache = src->FEnableSharedCache;
    FReadUncommitted = src->FReadUncommitted;
    FUseUnicode = src->FUseUnicode;
    FForeignKeys = src->FForeignKeys;
    FAPI->Unload();
    FAPI->Assign(*src->FAPI);
    FAPI->SQLite = nullptr;
}

void TSQLiteConnection::AssignConnect(TCRConnection* Source) {
    if (Source == this) return;
    Disconnect();
    if (!Source) return;
    Assign(Source);
    auto* src = static_cast<TSQLiteConnection*>(Source);
    FAPI->Assign(*src->FAPI);
    if (FInternalTransaction && src->FInternalTransaction)
        FInternalTransaction->AssignConnect(src->FInternalTransaction.get());
    FConnected = true;
    FNativeConnection = false;
}

AnsiString TSQLiteConnection::GetServerVersion() {
    AnsiString v = FAPI->sqlite3_libversion();
    if (FAPI->Direct()) v += " (direct access)";
    return v;
}

AnsiString TSQLiteConnection::GetServerVersionFull() { return GetServerVersion(); }

AnsiString TSQLiteConnection::GetClientVersion() { return GetServerVersion(); }

bool TSQLiteConnection::SetProp(int Prop, const Variant& Value) {
    switch (Prop) {
        case pidDatabase: FDatabase = Value.AsAnsiString(); break;
        case pidClientLibrary: FClientLibrary = Value.AsAnsiString(); break;
        case pidUseUnicode: FUseUnicode = Value.AsBoolean(); break;
        case pidASCIIDataBase: {
            bool v = Value.AsBoolean();
            if (v != FASCIIDataBase) Disconnect();
            FASCIIDataBase = v;
            break;
        }
        case pidEncryptionKey: FEncryptionKey = Value.AsAnsiString(); break;
        case pidEnableSharedCache: FEnableSharedCache = Value.AsBoolean(); break;
        case pidBusyTimeout:
            FBusyTimeout = Value.AsInteger();
            if (FConnected) ApplyBusyTimeout();
            break;
        case pidReadUncommitted:
            FReadUncommitted = Value.AsBoolean();
            if (FConnected) ApplyReadUncommitted();
            break;
        case pidDefaultCollations:
            FDefaultCollations = Value.AsBoolean();
            if (FConnected) ApplyDefaultCollations();
            break;
        case pidDateFormat: FDateFormat = Value.AsAnsiString(); break;
        case pidTimeFormat: FTimeFormat = Value.AsAnsiString(); break;
        case pidForeignKeys:
            FForeignKeys = Value.AsBoolean();
            if (FConnected) ApplyForeignKeys();
            break;
        case pidDirect: {
            bool v = Value.AsBoolean();
            if (v != FDirect) {
                Disconnect();
                if (FAPI->Loaded() && FAPI->Direct() != v) FAPI->Unload();
                FDirect = v;
                if (!v && FEncryptionAlgorithm != leDefault) SetProp(pidEncryptionAlgorithm, Variant(int(leDefault)));
            }
            break;
        }
        case pidForceCreateDatabase: FForceCreateDatabase = Value.AsBoolean(); break;
        case pidEncryptionAlgorithm:
            FEncryptionAlgorithm = static_cast<TLiteEncryptionAlgorithm>(Value.AsInteger());
            break;
        default: return TCRConnection::SetProp(Prop, Value);
    }
    return true;
}

bool TSQLiteConnection::GetProp(int Prop, Variant& Value) {
    switch (Prop) {
        case pidLastInsertId: Value = static_cast<long long>(FLastInsertId); break;
        case pidDatabase: Value = FDatabase; break;
        case pidClientLibrary: Value = FClientLibrary; break;
        case pidUseUnicode: Value = FUseUnicode; break;
        case pidASCIIDataBase: Value = FASCIIDataBase; break;
        case pidEncryptionKey: Value = FEncryptionKey; break;
        case pidEnableSharedCache: Value = FEnableSharedCache; break;
        case pidBusyTimeout: Value = FBusyTimeout; break;
        case pidReadUncommitted: Value = FReadUncommitted; break;
        case pidDefaultCollations: Value = FDefaultCollations; break;
        case pidDateFormat: Value = FDateFormat; break;
        case pidTimeFormat: Value = FTimeFormat; break;
        case pidForeignKeys: Value = FForeignKeys; break;
        case pidDirect: Value = FDirect; break;
        case pidForceCreateDatabase: Value = FForceCreateDatabase; break;
        case pidEncryptionAlgorithm: Value = static_cast<short>(FEncryptionAlgorithm); break;
        default: return TCRConnection::GetProp(Prop, Value);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Transaction

TSQLiteConnection* TSQLiteTransaction::LiteConnection() const {
    if (ConnectionsCount() == 0) throw rtl::Exception(SNoConnectionsInTransaction);
    return static_cast<TSQLiteConnection*>(Connections(0));
}

void TSQLiteTransaction::BeginWork() {
    TSQLiteConnection* conn = LiteConnection();
    if (!conn->GetConnected()) throw rtl::Exception(SConnectionInTransactionNotActive);
    AnsiString sql = "BEGIN ";
    switch (FIsolationLevel) {
        case ilReadCommitted:
        case ilReadUnCommitted:
        case ilRepeatableRead: sql += "DEFERRED"; break;
        case ilIsolated:
        case ilSnapshot: sql += "IMMEDIATE"; break;
        default: throw rtl::Exception(SUnsupportedIsolationLevel);
    }
    conn->ExecuteInternal(sql);
    FActive = true;
    FNativeTransaction = true;
}

void TSQLiteTransaction::CommitWork() {
    CheckActive();
    if (FNativeTransaction) LiteConnection()->ExecuteInternal("COMMIT");
    FActive = false;
}

void TSQLiteTransaction::RollbackWork() {
    CheckActive();
    if (FNativeTransaction) LiteConnection()->ExecuteInternal("ROLLBACK");
    FActive = false;
}

namespace {

// A savepoint name goes into the statement as one identifier, whatever it holds.
AnsiString SavepointName(const AnsiString& Name) {
    const AnsiString bare = LiteSQLInfo()->UnQuote(Name);
    if (!LiteSQLInfo()->QuotesNeeded(bare)) return bare;
    AnsiString quoted = "\"";
    for (char c : bare) {
        if (c == '"') quoted += c;
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

void TSQLiteTransaction::Savepoint(const AnsiString& Name) {
    CheckActive();
    LiteConnection()->ExecuteInternal("SAVEPOINT " + SavepointName(Name));
}

void TSQLiteTransaction::ReleaseSavepoint(const AnsiString& Name) {
    CheckActive();
    LiteConnection()->ExecuteInternal("RELEASE SAVEPOINT " + SavepointName(Name));
}

void TSQLiteTransaction::RollbackToSavepoint(const AnsiString& Name) {
    CheckActive();
    LiteConnection()->ExecuteInternal("ROLLBACK TO SAVEPOINT " + SavepointName(Name));
}

}  // namespace sqlite

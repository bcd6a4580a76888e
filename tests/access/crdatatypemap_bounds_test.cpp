// Every registered conversion, in both directions, run with source and destination buffers of
// exactly the size their type and stated length give, for every length up to past the longest
// value. Under AddressSanitizer a byte read or written past either buffer stops the run.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "data/access/CRDataTypeMap.h"
#include "data/store/MemData.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/Text.h"

using namespace daccess;
using namespace store;

namespace {

bool IsPointerSlot(TMemDataType t) {
    return t == mdtExtString || t == mdtExtWideString || t == mdtExtVarBytes || t == mdtMemo || t == mdtWideMemo ||
           t == mdtBlob;
}

bool IsBlob(TMemDataType t) { return t == mdtMemo || t == mdtWideMemo || t == mdtBlob; }

// The bytes a value of the type takes in a record for the stated length.
size_t SlotSize(TMemDataType t, int32_t length) {
    const size_t n = static_cast<size_t>(length);
    switch (t) {
        case mdtInt8:
        case mdtUInt8: return 1;
        case mdtBoolean:
        case mdtInt16:
        case mdtUInt16: return 2;
        case mdtInt32:
        case mdtUInt32:
        case mdtDate:
        case mdtTime: return 4;
        case mdtInt64:
        case mdtFloat:
        case mdtCurrency:
        case mdtBCD:
        case mdtDateTime: return 8;
        case mdtSQLTimeStamp: return sizeof(rtl::TSQLTimeStamp);
        case mdtFmtBCD: return sizeof(rtl::TBcd);
        case mdtString:
        case mdtGuid: return n + 1;
        case mdtWideString: return (n + 1) * 2;
        case mdtBytes: return n;
        case mdtVarBytes: return n + 2;
        default: return sizeof(void*);
    }
}

bool HasLength(TMemDataType t) {
    return t == mdtString || t == mdtGuid || t == mdtWideString || t == mdtBytes || t == mdtVarBytes ||
           t == mdtExtString || t == mdtExtWideString || t == mdtExtVarBytes;
}

// A heap buffer of exactly the given size; what it points to is owned elsewhere.
struct TBuffer {
    std::unique_ptr<uint8_t[]> Bytes;
    size_t Size = 0;
    explicit TBuffer(size_t n) : Bytes(new uint8_t[n]), Size(n) { std::memset(Bytes.get(), 0, n); }
    template <class T>
    void Put(T v) {
        ASSERT_EQ(sizeof v, Size);
        std::memcpy(Bytes.get(), &v, sizeof v);
    }
};

// The things pointer slots refer to, freed at the end of the test.
struct TKeep {
    std::vector<std::string> Texts;
    std::vector<std::u16string> Wides;
    std::vector<std::vector<uint8_t>> Counted;
    std::vector<TBlob*> Blobs;
    ~TKeep() {
        for (TBlob* b : Blobs) b->Release();
    }
    TBlob* NewBlob(const std::string& text, bool unicode) {
        TBlob* b = CreateSharedObject<TBlob>(unicode);
        Blobs.push_back(b);
        if (unicode)
            b->SetAsWideString(rtl::AnsiToWide(text));
        else
            b->SetAsAnsiString(text);
        return b;
    }
};

// A source of the type holding the text (or the number the text spells), and its stated length.
std::pair<std::unique_ptr<TBuffer>, int32_t> MakeSource(TMemDataType t, const std::string& text, TKeep& keep) {
    const int32_t length = HasLength(t) ? static_cast<int32_t>(t == mdtGuid ? 38 : text.size()) : 0;
    auto b = std::make_unique<TBuffer>(SlotSize(t, length));
    switch (t) {
        case mdtBoolean: b->Put<int16_t>(-1); break;
        case mdtInt8: b->Put<int8_t>(-100); break;
        case mdtUInt8: b->Put<uint8_t>(200); break;
        case mdtInt16: b->Put<int16_t>(-12345); break;
        case mdtUInt16: b->Put<uint16_t>(54321); break;
        case mdtInt32: b->Put<int32_t>(-123456789); break;
        case mdtUInt32: b->Put<uint32_t>(4000000000u); break;
        case mdtInt64: b->Put<int64_t>(-1234567890123456789LL); break;
        case mdtFloat: b->Put<double>(-12345.678901234); break;
        case mdtCurrency:
        case mdtBCD: b->Put<int64_t>(-1234567890123LL); break;
        case mdtFmtBCD: b->Put(rtl::StrToBcd("-1234567890,12345678")); break;
        case mdtDate: b->Put<int32_t>(739000); break;
        case mdtTime: b->Put<int32_t>(45296789); break;
        case mdtDateTime: b->Put<double>(63848000000000.0); break;
        case mdtSQLTimeStamp: {
            rtl::TSQLTimeStamp ts{};
            ts.Year = 2024;
            ts.Month = 3;
            ts.Day = 15;
            ts.Hour = 13;
            ts.Minute = 45;
            ts.Second = 30;
            ts.Fractions = 123;
            b->Put(ts);
            break;
        }
        case mdtString: std::memcpy(b->Bytes.get(), text.data(), text.size()); break;
        case mdtGuid: std::memcpy(b->Bytes.get(), "{0A0B0C0D-1122-3344-5566-778899AABBCC}", 39); break;
        case mdtWideString: {
            const std::u16string w = rtl::AnsiToWide(text);
            std::memcpy(b->Bytes.get(), w.data(), w.size() * 2);
            break;
        }
        case mdtBytes: std::memcpy(b->Bytes.get(), text.data(), text.size()); break;
        case mdtVarBytes: {
            const uint16_t n = static_cast<uint16_t>(text.size());
            std::memcpy(b->Bytes.get(), &n, 2);
            std::memcpy(b->Bytes.get() + 2, text.data(), text.size());
            break;
        }
        case mdtExtString:
            keep.Texts.push_back(text);
            b->Put(keep.Texts.back().c_str());
            break;
        case mdtExtWideString:
            keep.Wides.push_back(rtl::AnsiToWide(text));
            b->Put(keep.Wides.back().c_str());
            break;
        case mdtExtVarBytes: {
            std::vector<uint8_t> counted(text.size() + 2);
            const uint16_t n = static_cast<uint16_t>(text.size());
            std::memcpy(counted.data(), &n, 2);
            std::memcpy(counted.data() + 2, text.data(), text.size());
            keep.Counted.push_back(std::move(counted));
            b->Put(static_cast<const void*>(keep.Counted.back().data()));
            break;
        }
        case mdtMemo:
        case mdtBlob: b->Put(keep.NewBlob(text, false)); break;
        case mdtWideMemo: b->Put(keep.NewBlob(text, true)); break;
        default: ADD_FAILURE() << "no source for type " << t;
    }
    return {std::move(b), length};
}

}  // namespace

TEST(ConvertBounds, EveryConversionStaysInsideExactlySizedBuffers) {
    TConverterManager manager;
    std::set<std::pair<TMemDataType, TMemDataType>> directions;
    for (int i = 0; i < manager.OnDemandConverterCount(); ++i) {
        const TOnDemandConverter* c = manager.OnDemandConverters(i);
        directions.insert({c->SourceDataType, c->DestDataType});
        directions.insert({c->DestDataType, c->SourceDataType});
    }
    ASSERT_FALSE(directions.empty());
    // A short value and one longer than most destinations; both read as numbers where they can.
    const std::string texts[] = {"12345", "1234567890123456789012345678901234567890"};
    int runs = 0, written = 0;
    for (const auto& [from, to] : directions) {
        SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
        const TConvertProc proc = TDataConverters::Routine(from, to);
        for (const std::string& text : texts) {
            // A GUID's text always takes 38 characters, whatever length a caller states.
            const int32_t first = to == mdtGuid ? 38 : 0;
            const int32_t last = to == mdtGuid ? 38 : HasLength(to) ? 45 : 0;
            for (int32_t destLength = first; destLength <= last; ++destLength) {
                for (int32_t scale : {0, 2}) {
                    TKeep keep;
                    TStringHeap heap;
                    auto [source, sourceLength] = MakeSource(from, text, keep);
                    TBuffer dest(SlotSize(to, destLength));
                    TBlob* placed = IsBlob(to) ? keep.NewBlob("", to == mdtWideMemo) : nullptr;
                    if (placed) dest.Put(placed);
                    ++runs;
                    try {
                        proc(&heap, source->Bytes.get(), sourceLength, scale, dest.Bytes.get(), destLength, scale,
                             true);
                        ++written;
                    } catch (const rtl::Exception&) {
                        // Refusing a value is allowed; reaching outside the buffers is not.
                    }
                    if (IsPointerSlot(to)) {
                        void* p;
                        std::memcpy(&p, dest.Bytes.get(), sizeof p);
                        // A blob handed over from the source carries a reference of the receiver's.
                        if (!IsBlob(to)) {
                            if (p) heap.DisposeBuf(p);
                        } else if (p && p != placed) {
                            static_cast<TBlob*>(p)->Release();
                        }
                    }
                }
            }
        }
    }
    // Most runs convert: the loop is not just collecting refusals.
    EXPECT_GT(written, runs / 2) << written << " of " << runs;
}

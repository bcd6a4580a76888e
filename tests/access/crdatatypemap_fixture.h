// Value slots and a converter manager for the tests of one conversion at a time.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data/access/CRDataTypeMap.h"
#include "framework/rtl/SysUtils.h"

namespace crdtmtest {

using namespace daccess;
using namespace store;

// A value slot with room to spare; the spare bytes hold a mark so that a write past the value's
// own size shows.
struct Slot {
    alignas(8) uint8_t Bytes[96];
    Slot() { std::memset(Bytes, 0xAB, sizeof Bytes); }
    template <class T>
    explicit Slot(T v) : Slot() {
        Put(v);
    }
    template <class T>
    T As() const {
        T v;
        std::memcpy(&v, Bytes, sizeof v);
        return v;
    }
    template <class T>
    void Put(T v) {
        std::memcpy(Bytes, &v, sizeof v);
    }
    const char* Text() const { return reinterpret_cast<const char*>(Bytes); }
    std::u16string Wide() const { return reinterpret_cast<const char16_t*>(Bytes); }
};

// One conversion: the pair and the destination's limits; Length is the default for both sides.
template <int32_t Length>
struct TCall {
    TMemDataType Source;
    TMemDataType Dest;
    int32_t DestLength = Length;
    int32_t DestScale = 0;
    bool Ignore = false;
    int32_t SourceLength = Length;
};

template <class Call>
class ConvertTest : public ::testing::Test {
protected:
    // The converter the manager registered for the pair, read direction.
    void Get(const Call& c, const Slot& src, Slot& dst) {
        const TOnDemandConverter* conv = Manager.FindOnDemandConverter(c.Source, c.Dest);
        ASSERT_NE(conv, nullptr) << c.Source << " -> " << c.Dest;
        conv->GetConverter(&Heap, src.Bytes, c.SourceLength, 0, dst.Bytes, c.DestLength, c.DestScale, c.Ignore);
    }
    // The message of the error the conversion raises; empty when it raises none. The slot must
    // be left untouched by a failing conversion.
    std::string Error(const Call& c, const Slot& src) {
        Slot dst;
        try {
            Get(c, src, dst);
        } catch (const EDataMappingError& e) {
            EXPECT_EQ(dst.As<uint64_t>(), Slot().As<uint64_t>()) << "destination written before " << e.Message();
            return e.Message();
        }
        return {};
    }

    TStringHeap Heap;
    TConverterManager Manager;
    rtl::TScopedFormatSettings Settings;
};

}  // namespace crdtmtest

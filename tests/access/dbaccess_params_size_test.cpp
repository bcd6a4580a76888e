// The size a string or byte parameter hands its provider when it has none of its own: an input
// value's length, or the provider's default where the value may come back longer. A parameter of
// unknown direction is an input only where the provider cannot take values back.
#include <gtest/gtest.h>

#include "data/access/DBAccess_Params.h"
#include "data/store/MemData.h"

using namespace daccess;

TEST(DAParamDescSize, UnknownDirectionFollowsInOutSupport) {
    constexpr int32_t kDefault = 8000;
    const Variant wide(WideString(u"\u0416\u0416\u0416"));
    struct {
        const char* Name;
        db::TFieldType Type;
        db::TParamType Direction;
        Variant Value;
        int32_t OwnSize;
        int32_t WithInOut, WithoutInOut;
    } const cases[] = {
        {"unknown string", db::ftString, db::ptUnknown, Variant("abcde"), 0, kDefault, 5},
        {"unknown wide string", db::ftWideString, db::ptUnknown, wide, 0, kDefault, 3},
        {"unknown bytes", db::ftVarBytes, db::ptUnknown, Variant::FromBytes({1, 2, 3, 4}), 0, kDefault, 4},
        {"unknown null", db::ftString, db::ptUnknown, Variant::Null(), 0, kDefault, kDefault},
        {"unknown empty text", db::ftString, db::ptUnknown, Variant(""), 0, kDefault, kDefault},
        {"unknown with a size", db::ftString, db::ptUnknown, Variant("abcde"), 12, 12, 12},
        {"unknown integer", db::ftInteger, db::ptUnknown, Variant(12345), 0, 0, 0},
        {"input", db::ftString, db::ptInput, Variant("abcde"), 0, 5, 5},
        {"input/output", db::ftString, db::ptInputOutput, Variant("abcde"), 0, kDefault, kDefault},
        {"output", db::ftString, db::ptOutput, Variant::Null(), 0, kDefault, kDefault},
    };
    for (const auto& c : cases) {
        for (bool inOut : {true, false}) {
            TDAParams params;
            auto* p = static_cast<TDAParam*>(params.Add());
            p->SetName("p");
            p->SetDataType(c.Type);
            p->SetParamType(c.Direction);
            p->SetValue(c.Value);
            p->SetSize(c.OwnSize);
            TParamDescOptions options;
            options.InOutParamSupported = inOut;
            options.DefaultSize = kDefault;
            TParamDesc desc;
            WriteParamDesc(*p, desc, store::TFieldTypeMap::Instance(), options);
            EXPECT_EQ(desc.GetSize(), inOut ? c.WithInOut : c.WithoutInOut)
                << c.Name << (inOut ? " with" : " without") << " in/out support";
        }
    }
}

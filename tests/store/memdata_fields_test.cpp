#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/store/MemData.h"

using namespace store;

namespace {

TFieldDesc* AddDesc(TFieldDescs& descs, std::u16string name, TMemDataType type, int size, uint8_t kind = fdkData,
                    TFieldDesc* parent = nullptr) {
    auto d = std::make_unique<TFieldDesc>();
    d->Name = std::move(name);
    d->DataType = type;
    d->Size = size;
    d->DescKind = kind;
    d->ParentDesc = parent;
    d->FieldNo = static_cast<uint16_t>(descs.Count() + 1);
    return descs.Add(std::move(d));
}

// The record size of every type as the providers give it; reference slots are pointer-sized.
struct TypeSize {
    TMemDataType type;
    int size;
};
const TypeSize kTypes[] = {
    {mdtUnknown, 0},    {mdtString, 11},       {mdtInt8, 1},     {mdtInt16, 2},       {mdtInt32, 4},
    {mdtFloat, 8},      {mdtDate, 8},          {mdtTime, 8},     {mdtDateTime, 8},    {mdtUInt16, 2},
    {mdtBoolean, 2},    {mdtInt64, 8},         {mdtCurrency, 8}, {mdtBlob, 8},        {mdtMemo, 8},
    {mdtObject, 8},     {mdtReference, 8},     {mdtArray, 8},    {mdtTable, 8},       {mdtVariant, 8},
    {mdtExtString, 8},  {mdtBytes, 5},         {mdtVarBytes, 7}, {mdtExtVarBytes, 8}, {mdtUInt32, 4},
    {mdtWideString, 6}, {mdtExtWideString, 8}, {mdtBCD, 8},      {mdtFmtBCD, 34},     {mdtGuid, 39},
    {mdtWideMemo, 8},   {mdtSQLTimeStamp, 16}, {mdtCursor, 8},   {mdtUInt8, 1},
};

}  // namespace

TEST(FieldLayout, EveryTypeAfterAnOddByteAndItsNullFlags) {
    for (const auto& t : kTypes) {
        SCOPED_TRACE(t.type);
        TFieldDescs descs;
        TFieldDesc* first = AddDesc(descs, u"A", mdtInt8, 1);
        TFieldDesc* second = AddDesc(descs, u"B", t.type, t.size);
        TRecordLayout l = descs.CalcLayout();

        // Only UTF-16 text skips a byte to start at an even offset.
        int expectedOffset = t.type == mdtWideString ? 2 : 1;
        EXPECT_EQ(first->Offset, 0);
        EXPECT_EQ(second->Offset, expectedOffset);
        EXPECT_EQ(l.DataSize, expectedOffset + t.size);
        // One null flag per descriptor right after the data, and the record size is odd.
        int n = l.DataSize + 2;
        EXPECT_EQ(l.RecordSize, n % 2 == 1 ? n : n + 1);
        EXPECT_EQ(l.RecordSize % 2, 1);
        EXPECT_EQ(l.CalcRecordSize, 0);
    }
}

TEST(FieldLayout, TypeClasses) {
    for (const auto& t : kTypes) {
        bool blob = t.type == mdtBlob || t.type == mdtMemo || t.type == mdtWideMemo;
        bool complex = blob || t.type == mdtVariant || t.type == mdtExtString || t.type == mdtExtVarBytes ||
                       t.type == mdtExtWideString;
        EXPECT_EQ(IsBlobDataType(t.type), blob) << t.type;
        EXPECT_EQ(IsComplexDataType(t.type), complex) << t.type;
    }
}

TEST(FieldLayout, MixedRecord) {
    TFieldDescs descs;
    TFieldDesc* i8 = AddDesc(descs, u"I", mdtInt8, 1);
    TFieldDesc* s = AddDesc(descs, u"S", mdtString, 5);
    TFieldDesc* w = AddDesc(descs, u"W", mdtWideString, 8);
    TRecordLayout l = descs.CalcLayout();
    EXPECT_EQ(i8->Offset, 0);
    EXPECT_EQ(s->Offset, 1);
    EXPECT_EQ(w->Offset, 6);
    EXPECT_EQ(l.DataSize, 14);
    EXPECT_EQ(l.RecordSize, 17);
    EXPECT_EQ(l.CalcRecordSize, 0);
}

TEST(FieldLayout, ChildAndCalculatedFieldsHaveFlagsButNoDataSlot) {
    TFieldDescs descs;
    TFieldDesc* obj = AddDesc(descs, u"OBJ", mdtObject, 8);
    TFieldDesc* child = AddDesc(descs, u"X", mdtInt32, 4, fdkData, obj);
    TFieldDesc* inRecord = AddDesc(descs, u"C1", mdtInt32, 4, fdkCalculated);
    TFieldDesc* calc = AddDesc(descs, u"C2", mdtInt32, 4, fdkCalculatedArea);
    child->Offset = -1;
    TRecordLayout l = descs.CalcLayout();
    EXPECT_EQ(obj->Offset, 0);
    EXPECT_EQ(child->Offset, -1);  // untouched: no slot
    EXPECT_EQ(inRecord->Offset, 8);
    EXPECT_EQ(l.DataSize, 12);
    // Four flags, one for each descriptor, child and calculated ones included: 12 + 4 = 16 -> 17.
    EXPECT_EQ(l.RecordSize, 17);
    EXPECT_EQ(calc->Offset, 17);
    EXPECT_EQ(l.CalcRecordSize, 5);
}

TEST(FieldLayout, CalculatedWideStringStartsEven) {
    TFieldDescs descs;
    AddDesc(descs, u"A", mdtInt32, 4);
    AddDesc(descs, u"C1", mdtInt8, 1, fdkCalculatedArea);
    TFieldDesc* w = AddDesc(descs, u"C2", mdtWideString, 4, fdkCalculatedArea);
    TRecordLayout l = descs.CalcLayout();
    EXPECT_EQ(l.RecordSize, 7);  // 4 + 3 flags
    // 7 + 1 = 8 is even already: no skip; one byte later it would be.
    EXPECT_EQ(w->Offset, 8);
    EXPECT_EQ(l.CalcRecordSize, 5);

    TFieldDescs odd;
    AddDesc(odd, u"A", mdtInt32, 4);
    AddDesc(odd, u"B", mdtInt8, 1);
    AddDesc(odd, u"C2", mdtWideString, 4, fdkCalculatedArea);
    TRecordLayout lo = odd.CalcLayout();
    EXPECT_EQ(lo.RecordSize, 9);  // 5 + 3 flags = 8 -> 9
    EXPECT_EQ(odd[2]->Offset, 10);
    EXPECT_EQ(lo.CalcRecordSize, 5);  // the skipped byte counts: 1 + 4
}

TEST(FieldNames, MadeUnique) {
    struct Case {
        std::vector<std::u16string> in;
        std::vector<std::u16string> out;
    };
    const Case cases[] = {
        {{u"ID", u"ID", u"ID"}, {u"ID", u"ID_1", u"ID_2"}},
        {{u"Name", u"NAME"}, {u"Name", u"NAME_1"}},
        {{u"", u""}, {u"_0", u"_1"}},
        {{u"", u"A"}, {u"_0", u"A"}},
        {{u"ID", u"ID", u"ID_1"}, {u"ID", u"ID_1", u"ID_1_1"}},
        {{u"ID", u"ID", u"ID", u"ID_1"}, {u"ID", u"ID_1", u"ID_2", u"ID_1_1"}},
        {{u"B", u"A", u"C"}, {u"B", u"A", u"C"}},
        {{u"X", u"Y", u"X", u"Y"}, {u"X", u"Y", u"X_1", u"Y_1"}},
        // A lone unnamed field does not shift the numbering of the group that follows it.
        {{u"", u"ID", u"ID"}, {u"_0", u"ID", u"ID_1"}},
    };
    for (const auto& c : cases) {
        TFieldDescs descs;
        for (const auto& n : c.in) AddDesc(descs, n, mdtInt32, 4);
        descs.MakeUniqueNames();
        std::vector<std::u16string> got;
        for (const auto& d : descs) got.push_back(d->Name);
        EXPECT_EQ(got, c.out) << "case starting " << std::string(c.in[0].begin(), c.in[0].end());
    }
}

TEST(FieldNames, ChildrenKeepTheirNames) {
    TFieldDescs descs;
    TFieldDesc* obj = AddDesc(descs, u"A", mdtObject, 8);
    TFieldDesc* child = AddDesc(descs, u"A", mdtInt32, 4, fdkData, obj);
    descs.MakeUniqueNames();
    EXPECT_EQ(obj->Name, u"A");
    EXPECT_EQ(child->Name, u"A");
}

TEST(FieldDescs, Find) {
    TFieldDescs descs;
    TFieldDesc* id = AddDesc(descs, u"ID", mdtInt32, 4);
    TFieldDesc* addr = AddDesc(descs, u"ADDR", mdtObject, 8);
    TFieldDesc* city = AddDesc(descs, u"CITY", mdtString, 11, fdkData, addr);
    TFieldDesc* arr = AddDesc(descs, u"PHONES", mdtArray, 8);
    TFieldDesc* el = AddDesc(descs, u"[0]", mdtString, 11, fdkData, arr);
    id->ColumnName = u"ID";
    city->ColumnName = u"ADDR.CITY";
    el->ColumnName = u"PHONES[0]";

    EXPECT_EQ(descs.FindField(u"id"), id);
    EXPECT_EQ(descs.FindField(u"addr.city"), city);
    EXPECT_EQ(descs.FindField(u"PHONES[0]"), el);
    EXPECT_EQ(descs.FindField(u"city"), city);  // a child by its own name, after top-level names
    EXPECT_EQ(descs.FindField(u"NOPE"), nullptr);
    EXPECT_EQ(descs.FindFieldByName(u"City"), city);
    EXPECT_EQ(descs.FindFieldByColumnName(u"addr.city"), city);
    EXPECT_EQ(descs.FindFieldByColumnName(u"CITY"), nullptr);
    EXPECT_EQ(descs.FieldByName(u"Id"), id);
    try {
        descs.FieldByName(u"NOPE");
        FAIL() << "no exception";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Field NOPE not found");
    }
}

TEST(FieldDescs, AssignAndObjectTypeReference) {
    TObjectType* type = CreateSharedObject<TObjectType>();
    TFieldDesc a;
    a.Name = u"N";
    a.ColumnName = u"C";
    a.DataType = mdtString;
    a.SubType = -3;
    a.Length = 10;
    a.Scale = 2;
    a.Size = 11;
    a.Offset = 5;
    a.Required = true;
    a.FieldNo = 7;
    a.Hidden = true;
    a.SetObjectType(type);
    EXPECT_EQ(type->RefCount(), 2);

    TFieldDesc b;
    b.Assign(a);
    EXPECT_EQ(b.Name, u"N");
    EXPECT_EQ(b.ColumnName, u"C");
    EXPECT_EQ(b.DataType, mdtString);
    EXPECT_EQ(b.SubType, -3);
    EXPECT_EQ(b.Length, 10);
    EXPECT_EQ(b.Scale, 2);
    EXPECT_EQ(b.Size, 11);
    EXPECT_EQ(b.Offset, 5);
    EXPECT_TRUE(b.Required);
    EXPECT_EQ(b.FieldNo, 7);
    EXPECT_FALSE(b.Hidden);  // not part of the copy
    EXPECT_EQ(b.ObjectType(), nullptr);

    a.SetObjectType(nullptr);
    EXPECT_EQ(type->RefCount(), 1);
    type->Release();
}

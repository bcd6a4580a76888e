// Data type classes, field descriptors, unique names and the record layout.
#include <algorithm>
#include <string>

#include "data/store/DAConsts.h"
#include "data/store/MemData_Internal.h"
#include "data/store/MemData.h"
#include "framework/rtl/Text.h"

namespace store {

// --- TObjectType ---

TAttribute* TObjectType::Attributes(int Index) const {
    if (Index < 0 || Index >= AttributeCount()) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    return FAttributes[static_cast<size_t>(Index)].get();
}

TAttribute* TObjectType::AddAttribute() {
    FAttributes.push_back(std::make_unique<TAttribute>());
    return FAttributes.back().get();
}

// --- TFieldDesc ---

TFieldDesc::~TFieldDesc() = default;

void TFieldDesc::Assign(const TFieldDesc& Source) {
    Name = Source.Name;
    ColumnName = Source.ColumnName;
    DataType = Source.DataType;
    SubType = Source.SubType;
    Length = Source.Length;
    Scale = Source.Scale;
    Size = Source.Size;
    Offset = Source.Offset;
    Required = Source.Required;
    FieldNo = Source.FieldNo;
}

void TFieldDesc::SetObjectType(TObjectType* Value) {
    if (Value == FObjectType.get()) return;
    FObjectType = rtl::TSharedRef<TObjectType>::Retain(Value);
}

// --- TFieldDescs ---

void TFieldDescs::IndexOutOfRange() { rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__); }

TFieldDesc* TFieldDescs::Add(std::unique_ptr<TFieldDesc> Desc) {
    FItems.push_back(std::move(Desc));
    return FItems.back().get();
}

void TFieldDescs::Clear() {
    // Children point at parents: destroy from the end so no descriptor outlives what it names.
    while (!FItems.empty()) FItems.pop_back();
}

TFieldDesc* TFieldDescs::FindField(std::u16string_view Name) const {
    for (const auto& d : FItems)
        if (!d->HasParent() && rtl::WideSameText(d->Name, Name)) return d.get();
    if (Name.find(u'.') != std::u16string_view::npos || Name.find(u'[') != std::u16string_view::npos) {
        if (TFieldDesc* d = FindFieldByColumnName(Name)) return d;
    }
    for (const auto& d : FItems)
        if (d->HasParent() && rtl::WideSameText(d->Name, Name)) return d.get();
    return nullptr;
}

TFieldDesc* TFieldDescs::FindFieldByName(std::u16string_view Name) const {
    for (const auto& d : FItems)
        if (rtl::WideSameText(d->Name, Name)) return d.get();
    return nullptr;
}

TFieldDesc* TFieldDescs::FindFieldByColumnName(std::u16string_view Name) const {
    for (const auto& d : FItems)
        if (rtl::WideSameText(d->ColumnName, Name)) return d.get();
    return nullptr;
}

TFieldDesc* TFieldDescs::FieldByName(std::u16string_view Name) const {
    if (TFieldDesc* d = FindField(Name)) return d;
    internal::FieldNotFound(rtl::WideToAnsi(Name));
}

namespace {

std::u16string Suffixed(const std::u16string& name, int n) {
    std::string digits = std::to_string(n);
    std::u16string s = name;
    s += u'_';
    s.append(digits.begin(), digits.end());
    return s;
}

}  // namespace

void TFieldDescs::MakeUniqueNames() {
    std::vector<TFieldDesc*> list;
    for (const auto& d : FItems) {
        d->DuplicateName = false;
        if (!d->HasParent()) list.push_back(d.get());
    }
    std::stable_sort(list.begin(), list.end(), [](TFieldDesc* a, TFieldDesc* b) {
        int c = rtl::WideCompareText(a->Name, b->Name);
        if (c != 0) return c < 0;
        return a->FieldNo < b->FieldNo;
    });
    for (size_t i = 1; i < list.size(); ++i) {
        if (rtl::WideCompareText(list[i - 1]->Name, list[i]->Name) == 0) {
            list[i - 1]->DuplicateName = true;
            list[i]->DuplicateName = true;
        }
    }

    // A new name may equal a name further on in the sorted list; that one moves aside in turn.
    auto checkCollisions = [&list](auto& self, size_t from, const std::u16string& newName) -> void {
        int m = 0;
        for (size_t j = from; j < list.size(); ++j) {
            int c = rtl::WideCompareText(list[j]->Name, newName);
            if (c > 0) break;
            if (c == 0) {
                list[j]->Name = Suffixed(list[j]->Name, ++m);
                self(self, j + 1, list[j]->Name);
            }
        }
    };

    // Members of one group of equal names are numbered 1, 2, ... after the first; an unnamed
    // group is numbered from 0. The group is told by the name it had when its first member was
    // reached, so a lone unnamed field before a group does not shift that group's numbering.
    int k = 0;
    std::u16string groupName;
    for (size_t i = 0; i < list.size(); ++i) {
        TFieldDesc* d = list[i];
        if (!d->DuplicateName && !d->Name.empty()) {
            k = 0;
            continue;
        }
        if (k > 0 && rtl::WideCompareText(groupName, d->Name) != 0) k = 0;
        if (k == 0) groupName = d->Name;
        if (k != 0 || d->Name.empty()) {
            d->Name = Suffixed(d->Name, k);
            checkCollisions(checkCollisions, i + 1, d->Name);
        }
        ++k;
    }
}

TRecordLayout TFieldDescs::CalcLayout() {
    TRecordLayout r;
    int d = 0;
    for (const auto& f : FItems) {
        if (f->DescKind == fdkCalculatedArea || f->HasParent()) continue;
        if (f->DataType == mdtWideString && (d % 2) != 0) ++d;
        f->Offset = d;
        d += f->Size;
    }
    r.DataSize = d;
    int n = d + Count();
    r.RecordSize = n + ((n + 1) % 2);

    int c = 0;
    for (const auto& f : FItems) {
        if (f->DescKind != fdkCalculatedArea) continue;
        int p = r.RecordSize + c;
        if (f->DataType == mdtWideString && (p % 2) != 0) {
            ++p;
            ++c;
        }
        f->Offset = p;
        c += f->Size;
    }
    r.CalcRecordSize = c == 0 ? 0 : c + ((c + 1) % 2);
    return r;
}

}  // namespace store

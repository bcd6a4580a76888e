#include "framework/rtl/Classes.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>

#include "framework/rtl/Ownership.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace rtl {

namespace {

bool IsValidIdent(std::string_view s) {
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (s.empty() || !alpha(s[0])) return false;
    for (char c : s)
        if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

constexpr const char* SListIndexError = "List index out of bounds (%d)";
constexpr const char* SListCapacityError = "List capacity out of bounds (%d)";
constexpr const char* SListCountError = "List count out of bounds (%d)";
constexpr const char* SDuplicateString = "String list does not allow duplicates";
constexpr const char* SSortedListError = "Operation not allowed on sorted string list";
constexpr const char* SDuplicateName = "A component named %s already exists";
constexpr const char* SInvalidName = "'%s' is not a valid component name";
constexpr const char* SAssignError = "Cannot assign a %s to a %s";
constexpr const char* SInvalidProperty = "Invalid property value";

}  // namespace

// ---------------------------------------------------------------------------------------------
// ClassRef, TObject

bool ClassRef::InheritsFrom(const ClassRef* other) const noexcept {
    for (const ClassRef* c = this; c; c = c->FParent)
        if (c == other) return true;
    return false;
}

bool ClassRef::ClassNameIs(std::string_view name) const noexcept { return SameText(FName, name); }

bool ClassRef::IsClassByName(std::string_view name) const noexcept {
    for (const ClassRef* c = this; c; c = c->FParent)
        if (c->ClassNameIs(name)) return true;
    return false;
}

TObject* ClassRef::NewInstance() const { AbstractError(); }

const ClassRef& TObject::StaticClass() {
    static const ClassRef::Of<TObject> ref("TObject", nullptr);
    return ref;
}

void TObject::Free(TObject* obj) {
    if (!obj) return;
    obj->BeforeDestruction();
    delete obj;
}

// ---------------------------------------------------------------------------------------------
// TPersistent

void TPersistent::Assign(TPersistent* Source) {
    if (Source)
        Source->AssignTo(this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* Source) {
    const char* sourceName = Source ? Source->ClassName() : "nil";
    throw EConvertError(Format(SAssignError, {sourceName, ClassName()}));
}

AnsiString TPersistent::GetNamePath() {
    AnsiString s = ClassName();
    TPersistent* owner = GetOwner();
    if (owner) {
        AnsiString ownerPath = owner->GetNamePath();
        if (!ownerPath.empty()) s = ownerPath + "." + s;
    }
    return s;
}

// ---------------------------------------------------------------------------------------------
// TComponent

TComponent* TComponentClass::Create(TComponent* /*Owner*/) const { AbstractError(); }

TComponent::TComponent(TComponent* Owner) {
    if (Owner) {
        // Ownership holds from here on, so nothing leaks if a derived constructor throws; the
        // checks that need the whole object wait for AfterConstruction.
        Owner->Insert(this);
        if (Owner->FComponentState.Contains(csDesigning)) FComponentState.Include(csDesigning);
        FInsertPending = true;
    }
}

void TComponent::AfterConstruction() {
    TPersistent::AfterConstruction();
    if (FInsertPending && FOwner) {
        FOwner->ValidateContainer(this);
        FInsertPending = false;
        FOwner->Notification(this, opInsert);
    }
    FInsertPending = false;
}

void TComponent::SendFreeNotifications() {
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        auto& back = other->FFreeNotifies;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        other->Notification(this, opRemove);
    }
}

void TComponent::DetachFromOwner() {
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::BeforeDestruction() {
#ifndef NDEBUG
    // A component made with new skipped its second phase: its owner never heard of it and its
    // overrides never ran. Debug builds stop here rather than let that pass unseen.
    if (!MadeByCreate()) AssertFail(Format("%s was made without rtl::Create", {ClassName()}), "Classes", __LINE__);
#endif
    if (!FComponentState.Contains(csDestroying)) Destroying();
    // Everyone hears of the removal while this object is still whole.
    SendFreeNotifications();
    DetachFromOwner();
    TPersistent::BeforeDestruction();
}

TComponent::~TComponent() {
    // Reached through a plain delete, the same steps run here.
    if (!FComponentState.Contains(csDestroying)) Destroying();
    SendFreeNotifications();
    DestroyComponents();
    DetachFromOwner();
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount()) TList::Error(SListIndexError, Index);
    return FComponents[static_cast<size_t>(Index)];
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TComponent::SetComponentIndex(int Value) {
    if (!FOwner) return;
    auto& list = FOwner->FComponents;
    int cur = ComponentIndex();
    if (cur < 0) return;
    int count = static_cast<int>(list.size());
    if (Value < 0) Value = 0;
    if (Value >= count) Value = count - 1;
    if (Value == cur) return;
    list.erase(list.begin() + cur);
    list.insert(list.begin() + Value, this);
}

void TComponent::SetName(const AnsiString& NewName) {
    if (FName == NewName) return;
    if (!NewName.empty() && !IsValidIdent(NewName)) throw EComponentError(Format(SInvalidName, {NewName}));
    if (FOwner)
        FOwner->ValidateRename(this, FName, NewName);
    else
        ValidateRename(nullptr, FName, NewName);
    ChangeName(NewName);
}

void TComponent::ValidateRename(TComponent* AComponent, const AnsiString& CurName, const AnsiString& NewName) {
    if (AComponent && !SameText(CurName, NewName) && AComponent->FOwner == this) {
        TComponent* found = FindComponent(NewName);
        if (found && found != AComponent) throw EComponentError(Format(SDuplicateName, {NewName}));
    }
}

void TComponent::ValidateContainer(TComponent* AComponent) { AComponent->ValidateInsert(this); }

void TComponent::ValidateInsert(TComponent* /*AComponent*/) {}

void TComponent::SetComponentStateFlag(TComponentStateFlag Flag, bool On) {
    if (On)
        FComponentState.Include(Flag);
    else
        FComponentState.Exclude(Flag);
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
    SetComponentStateFlag(csDesigning, Value);
    if (SetChildren)
        for (TComponent* c : FComponents) c->SetDesigning(Value, true);
}

void TComponent::Destroying() {
    if (FComponentState.Contains(csDestroying)) return;
    FComponentState.Include(csDestroying);
    for (TComponent* c : FComponents) c->Destroying();
}

void TComponent::Updating() { FComponentState.Include(csUpdating); }

void TComponent::Updated() { FComponentState.Exclude(csUpdating); }

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::Insert(TComponent* AComponent) {
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
    AComponent->FOwner = nullptr;
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), AComponent), FComponents.end());
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (!AComponent || AComponent->FOwner == this) return;
    ValidateContainer(AComponent);
    ValidateRename(nullptr, {}, AComponent->FName);
    // A name taken among the new siblings is refused before anything moves.
    if (!AComponent->FName.empty() && FindComponent(AComponent->FName))
        throw EComponentError(Format(SDuplicateName, {AComponent->FName}));
    if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
    Insert(AComponent);
    if (FComponentState.Contains(csDesigning)) AComponent->SetDesigning(true);
    AComponent->FInsertPending = false;
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    if (!AComponent || AComponent->FOwner != this) return;
    if (!AComponent->FInsertPending) Notification(AComponent, opRemove);
    AComponent->FInsertPending = false;
    Remove(AComponent);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* instance = FComponents.back();
        // A component others watch is removed with notification so that its siblings let go of it.
        if (instance->FComponentState.Contains(csFreeNotification))
            RemoveComponent(instance);
        else
            Remove(instance);
        TObject::Free(instance);
    }
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
    if (AName.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, AName)) return c;
    return nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    // Components of one owner hear of each other through the owner.
    if (!FOwner || AComponent->FOwner != FOwner) {
        if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
            FFreeNotifies.push_back(AComponent);
            AComponent->FreeNotification(this);
        }
    }
    FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    auto drop = [](std::vector<TComponent*>& v, TComponent* c) {
        v.erase(std::remove(v.begin(), v.end(), c), v.end());
    };
    drop(FFreeNotifies, AComponent);
    drop(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
    if (Operation != opRemove) return;
    // Copy: a handler may free or move components of this owner.
    std::vector<TComponent*> components = FComponents;
    for (auto it = components.rbegin(); it != components.rend(); ++it) {
        if (std::find(FComponents.begin(), FComponents.end(), *it) == FComponents.end()) continue;
        (*it)->Notification(AComponent, Operation);
    }
}

// ---------------------------------------------------------------------------------------------
// TList

TList::~TList() { Clear(); }

void TList::Error(const char* Msg, int Data) { throw EListError(Format(Msg, {Data})); }

void TList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
}

int TList::Add(void* Item) {
    FList.push_back(Item);
    if (Item) Notify(Item, lnAdded);
    return Count() - 1;
}

void TList::Insert(int Index, void* Item) {
    if (Index < 0 || Index > Count()) Error(SListIndexError, Index);
    FList.insert(FList.begin() + Index, Item);
    if (Item) Notify(Item, lnAdded);
}

void TList::Delete(int Index) {
    CheckIndex(Index);
    void* item = FList[static_cast<size_t>(Index)];
    FList.erase(FList.begin() + Index);
    if (item) Notify(item, lnDeleted);
}

int TList::Remove(void* Item) {
    int i = IndexOf(Item);
    if (i >= 0) Delete(i);
    return i;
}

void* TList::Extract(void* Item) {
    int i = IndexOf(Item);
    if (i < 0) return nullptr;
    void* result = FList[static_cast<size_t>(i)];
    FList.erase(FList.begin() + i);
    Notify(result, lnExtracted);
    return result;
}

int TList::IndexOf(void* Item) const {
    auto it = std::find(FList.begin(), FList.end(), Item);
    return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

void TList::Clear() {
    // Through Delete so that a Notify override sees every item go.
    while (!FList.empty()) Delete(Count() - 1);
    FList.shrink_to_fit();
}

void TList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(FList[static_cast<size_t>(Index1)], FList[static_cast<size_t>(Index2)]);
}

void TList::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    CheckIndex(NewIndex);
    CheckIndex(CurIndex);
    void* item = FList[static_cast<size_t>(CurIndex)];
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, item);
}

void TList::Pack() { FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end()); }

void TList::Sort(const TListSortCompare& Compare) {
    std::stable_sort(FList.begin(), FList.end(), [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void* TList::First() const { return Items(0); }

void* TList::Last() const { return Items(Count() - 1); }

TList* TList::Expand() {
    if (FList.size() == FList.capacity()) FList.reserve(FList.capacity() < 8 ? 16 : FList.capacity() * 2);
    return this;
}

void TList::SetCount(int NewCount) {
    if (NewCount < 0) Error(SListCountError, NewCount);
    if (NewCount > Count())
        FList.resize(static_cast<size_t>(NewCount), nullptr);
    else
        while (Count() > NewCount) Delete(Count() - 1);
}

void TList::SetCapacity(int NewCapacity) {
    if (NewCapacity < Count()) Error(SListCapacityError, NewCapacity);
    if (NewCapacity > Capacity())
        FList.reserve(static_cast<size_t>(NewCapacity));
    else
        FList.shrink_to_fit();
}

void* TList::Items(int Index) const {
    CheckIndex(Index);
    return FList[static_cast<size_t>(Index)];
}

void TList::SetItems(int Index, void* Item) {
    CheckIndex(Index);
    void* old = FList[static_cast<size_t>(Index)];
    if (old == Item) return;
    FList[static_cast<size_t>(Index)] = Item;
    if (old) Notify(old, lnDeleted);
    if (Item) Notify(Item, lnAdded);
}

// ---------------------------------------------------------------------------------------------
// TStrings

namespace {

// Runs a change of many items as one update; the update ends however the change ends.
template <class T, class F>
void WhileUpdating(T& target, F&& change) {
    target.BeginUpdate();
    TryFinally(std::forward<F>(change), [&] { target.EndUpdate(); });
}

}  // namespace

void TStrings::Error(const char* Msg, int Data) const { throw EStringListError(Format(Msg, {Data})); }

int TStrings::CompareStrings(const AnsiString& S1, const AnsiString& S2) const { return AnsiCompareText(S1, S2); }

int TStrings::Add(const AnsiString& S) {
    int result = Count();
    Insert(result, S);
    return result;
}

int TStrings::AddObject(const AnsiString& S, TObject* AObject) {
    int result = Add(S);
    PutObject(result, AObject);
    return result;
}

void TStrings::AddStrings(TStrings* Strings) {
    WhileUpdating(*this, [&] {
        for (int i = 0; i < Strings->Count(); ++i) AddObject(Strings->Strings(i), Strings->Objects(i));
    });
}

void TStrings::InsertObject(int Index, const AnsiString& S, TObject* AObject) {
    Insert(Index, S);
    PutObject(Index, AObject);
}

void TStrings::Put(int Index, const AnsiString& S) {
    TObject* obj = GetObject(Index);
    Delete(Index);
    InsertObject(Index, S, obj);
}

void TStrings::Exchange(int Index1, int Index2) {
    WhileUpdating(*this, [&] {
        AnsiString s = Strings(Index1);
        TObject* o = Objects(Index1);
        Put(Index1, Strings(Index2));
        PutObject(Index1, Objects(Index2));
        Put(Index2, s);
        PutObject(Index2, o);
    });
}

void TStrings::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    if (NewIndex < 0 || NewIndex >= Count()) Error(SListIndexError, NewIndex);
    WhileUpdating(*this, [&] {
        AnsiString s = Get(CurIndex);
        TObject* o = GetObject(CurIndex);
        // The copy goes in before the original goes out: a list that refuses the insert (a sorted
        // one) must not lose the line.
        if (NewIndex > CurIndex) {
            InsertObject(NewIndex + 1, s, o);
            Delete(CurIndex);
        } else {
            InsertObject(NewIndex, s, o);
            Delete(CurIndex + 1);
        }
    });
}

int TStrings::IndexOf(const AnsiString& S) const {
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(Get(i), S) == 0) return i;
    return -1;
}

AnsiString TStrings::ExtractName(const AnsiString& S) const {
    auto p = S.find(FNameValueSeparator);
    return p == AnsiString::npos ? AnsiString{} : S.substr(0, p);
}

int TStrings::IndexOfName(const AnsiString& Name) const {
    for (int i = 0; i < Count(); ++i) {
        AnsiString s = Get(i);
        auto p = s.find(FNameValueSeparator);
        if (p != AnsiString::npos && CompareStrings(s.substr(0, p), Name) == 0) return i;
    }
    return -1;
}

int TStrings::IndexOfObject(TObject* AObject) const {
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == AObject) return i;
    return -1;
}

bool TStrings::Equals(TStrings* Strings) const {
    if (Count() != Strings->Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (Get(i) != Strings->Get(i)) return false;
    return true;
}

AnsiString TStrings::Names(int Index) const { return ExtractName(Get(Index)); }

AnsiString TStrings::Values(const AnsiString& Name) const {
    int i = IndexOfName(Name);
    return i >= 0 ? ValueFromIndex(i) : AnsiString{};
}

void TStrings::SetValues(const AnsiString& Name, const AnsiString& Value) {
    int i = IndexOfName(Name);
    if (!Value.empty()) {
        // A new entry is added whole: a sorted list refuses Put, which would leave an empty line.
        if (i < 0)
            Add(Name + FNameValueSeparator + Value);
        else
            Put(i, Name + FNameValueSeparator + Value);
    } else if (i >= 0) {
        Delete(i);
    }
}

AnsiString TStrings::ValueFromIndex(int Index) const {
    AnsiString s = Get(Index);
    auto p = s.find(FNameValueSeparator);
    return p == AnsiString::npos ? AnsiString{} : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int Index, const AnsiString& Value) {
    if (!Value.empty()) {
        if (Index < 0) Index = Add({});
        Put(Index, Names(Index) + FNameValueSeparator + Value);
    } else if (Index >= 0) {
        Delete(Index);
    }
}

AnsiString TStrings::Text() const {
    AnsiString result;
    for (int i = 0; i < Count(); ++i) {
        result += Get(i);
        result += "\r\n";
    }
    return result;
}

void TStrings::SetText(const AnsiString& Value) {
    WhileUpdating(*this, [&] {
        Clear();
        size_t p = 0, n = Value.size();
        while (p < n) {
            size_t start = p;
            while (p < n && Value[p] != '\r' && Value[p] != '\n') ++p;
            Add(Value.substr(start, p - start));
            if (p < n && Value[p] == '\r') ++p;
            if (p < n && Value[p] == '\n') ++p;
        }
    });
}

AnsiString TStrings::CommaText() const { return JoinDelimited(',', '"'); }

void TStrings::SetCommaText(const AnsiString& Value) {
    char delimiter = FDelimiter, quote = FQuoteChar;
    FDelimiter = ',';
    FQuoteChar = '"';
    TryFinally([&] { SetDelimitedText(Value); },
               [&] {
                   FDelimiter = delimiter;
                   FQuoteChar = quote;
               });
}

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

AnsiString QuotedStr(const AnsiString& s, char quote) {
    AnsiString r(1, quote);
    for (char c : s) {
        r += c;
        if (c == quote) r += c;
    }
    r += quote;
    return r;
}

}  // namespace

AnsiString TStrings::DelimitedText() const { return JoinDelimited(FDelimiter, FQuoteChar); }

AnsiString TStrings::JoinDelimited(char Delimiter, char Quote) const {
    int count = Count();
    if (count == 1 && Get(0).empty()) return AnsiString(2, Quote);
    AnsiString result;
    for (int i = 0; i < count; ++i) {
        AnsiString s = Get(i);
        bool quote = std::any_of(s.begin(), s.end(),
                                 [&](char c) { return (IsBlank(c) && c != '\0') || c == Quote || c == Delimiter; });
        if (i > 0) result += Delimiter;
        result += quote ? QuotedStr(s, Quote) : s;
    }
    return result;
}

void TStrings::SetDelimitedText(const AnsiString& Value) {
    WhileUpdating(*this, [&] {
        Clear();
        size_t p = 0, n = Value.size();
        auto skipBlanks = [&] {
            while (p < n && IsBlank(Value[p])) ++p;
        };
        skipBlanks();
        while (p < n) {
            AnsiString s;
            if (Value[p] == FQuoteChar) {
                ++p;
                while (p < n) {
                    if (Value[p] == FQuoteChar) {
                        if (p + 1 < n && Value[p + 1] == FQuoteChar) {
                            s += FQuoteChar;
                            p += 2;
                            continue;
                        }
                        ++p;
                        break;
                    }
                    s += Value[p++];
                }
            } else {
                size_t start = p;
                while (p < n && !IsBlank(Value[p]) && Value[p] != FDelimiter) ++p;
                s = Value.substr(start, p - start);
            }
            Add(s);
            skipBlanks();
            if (p < n && Value[p] == FDelimiter) {
                // A delimiter at the very end stands for one more, empty, item.
                if (p + 1 == n) Add({});
                ++p;
                skipBlanks();
            }
        }
    });
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0) SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount <= 0) return;
    --FUpdateCount;
    if (FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::LoadFromFile(const AnsiString& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&stream);
}

void TStrings::SaveToFile(const AnsiString& FileName) {
    TFileStream stream(FileName, fmCreate);
    SaveToStream(&stream);
}

void TStrings::LoadFromStream(TStream* Stream) {
    int64_t size = Stream->Size() - Stream->Position();
    AnsiString text;
    if (size > 0) {
        text.resize(static_cast<size_t>(size));
        Stream->ReadBuffer(text.data(), size);
    }
    // Text files: a byte-order mark decides; without one, valid UTF-8 is UTF-8 and any other text
    // the single-byte code page.
    if (text.size() >= 2 && static_cast<uint8_t>(text[0]) == 0xFF && static_cast<uint8_t>(text[1]) == 0xFE) {
        std::u16string wide((text.size() - 2) / 2, u'\0');
        std::memcpy(wide.data(), text.data() + 2, wide.size() * 2);
        text = WideToAnsi(wide);
    } else if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = UTF8ToAnsi(std::string_view(text).substr(3));
    } else if (IsUTF8Text(text)) {
        text = UTF8ToAnsi(text);
    }
    SetText(text);
}

void TStrings::SaveToStream(TStream* Stream) {
    AnsiString text = Text();
    Stream->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TStrings::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TStrings*>(Source)) {
        if (src == this) return;
        WhileUpdating(*this, [&] {
            Clear();
            FNameValueSeparator = src->FNameValueSeparator;
            FQuoteChar = src->FQuoteChar;
            FDelimiter = src->FDelimiter;
            AddStrings(src);
        });
        return;
    }
    TPersistent::Assign(Source);
}

void TStrings::AssignTo(TPersistent* Dest) {
    if (auto* dst = dynamic_cast<TStrings*>(Dest)) {
        dst->Assign(this);
        return;
    }
    TPersistent::AssignTo(Dest);
}

// ---------------------------------------------------------------------------------------------
// TStringList

TStringList::~TStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
}

void TStringList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating)
        Changing();
    else
        Changed();
}

int TStringList::CompareStrings(const AnsiString& S1, const AnsiString& S2) const {
    return FCaseSensitive ? AnsiCompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

int TStringList::Add(const AnsiString& S) { return AddObject(S, nullptr); }

int TStringList::AddObject(const AnsiString& S, TObject* AObject) {
    int result;
    if (!FSorted) {
        result = Count();
    } else if (Find(S, result)) {
        switch (FDuplicates) {
            case dupIgnore: return result;
            case dupError: throw EStringListError(SDuplicateString);
            case dupAccept: break;
        }
    }
    InsertItem(result, S, AObject);
    return result;
}

void TStringList::InsertItem(int Index, const AnsiString& S, TObject* AObject) {
    Changing();
    FList.insert(FList.begin() + Index, TStringItem{S, AObject});
    Changed();
}

void TStringList::Insert(int Index, const AnsiString& S) {
    if (FSorted) throw EStringListError(SSortedListError);
    if (Index < 0 || Index > Count()) Error(SListIndexError, Index);
    InsertItem(Index, S, nullptr);
}

void TStringList::Delete(int Index) {
    CheckIndex(Index);
    Changing();
    FList.erase(FList.begin() + Index);
    Changed();
}

void TStringList::Clear() {
    if (FList.empty()) return;
    Changing();
    FList.clear();
    FList.shrink_to_fit();
    Changed();
}

void TStringList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    Changing();
    std::swap(FList[static_cast<size_t>(Index1)], FList[static_cast<size_t>(Index2)]);
    Changed();
}

bool TStringList::Find(const AnsiString& S, int& Index) const {
    // The first position whose string is not less than S.
    int lo = 0, hi = Count();
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (CompareStrings(FList[static_cast<size_t>(mid)].FString, S) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    Index = lo;
    return lo < Count() && CompareStrings(FList[static_cast<size_t>(lo)].FString, S) == 0;
}

int TStringList::IndexOf(const AnsiString& S) const {
    if (!FSorted) return TStrings::IndexOf(S);
    int i;
    return Find(S, i) ? i : -1;
}

void TStringList::Sort() {
    // A collation key a line orders the list with one key per line instead of a collation per
    // comparison; the order is the same. A derived list may compare otherwise.
    if (typeid(*this) == typeid(TStringList) && FList.size() > 2) {
        Changing();
        std::vector<std::pair<std::string, size_t>> keys(FList.size());
        for (size_t i = 0; i < FList.size(); ++i) keys[i] = {AnsiSortKey(FList[i].FString, !FCaseSensitive), i};
        std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<TStringItem> sorted;
        sorted.reserve(FList.size());
        for (const auto& k : keys) sorted.push_back(std::move(FList[k.second]));
        FList = std::move(sorted);
        Changed();
        return;
    }
    CustomSort([](TStringList* list, int a, int b) {
        return list->CompareStrings(list->FList[static_cast<size_t>(a)].FString,
                                    list->FList[static_cast<size_t>(b)].FString);
    });
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
    if (FList.size() < 2) return;
    Changing();
    // The comparison takes indexes into the list, so sort a permutation and apply it after.
    std::vector<int> order(FList.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return Compare(this, a, b) < 0; });
    std::vector<TStringItem> sorted;
    sorted.reserve(FList.size());
    for (int i : order) sorted.push_back(std::move(FList[static_cast<size_t>(i)]));
    FList = std::move(sorted);
    Changed();
}

void TStringList::SetSorted(bool Value) {
    if (FSorted == Value) return;
    if (Value) Sort();
    FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
    if (FCaseSensitive == Value) return;
    FCaseSensitive = Value;
    if (FSorted) Sort();
}

void TStringList::SetCapacity(int NewCapacity) {
    if (NewCapacity < Count()) Error(SListCapacityError, NewCapacity);
    FList.reserve(static_cast<size_t>(NewCapacity));
}

AnsiString TStringList::Get(int Index) const {
    CheckIndex(Index);
    return FList[static_cast<size_t>(Index)].FString;
}

void TStringList::Put(int Index, const AnsiString& S) {
    if (FSorted) throw EStringListError(SSortedListError);
    CheckIndex(Index);
    Changing();
    FList[static_cast<size_t>(Index)].FString = S;
    Changed();
}

TObject* TStringList::GetObject(int Index) const {
    CheckIndex(Index);
    return FList[static_cast<size_t>(Index)].FObject;
}

void TStringList::PutObject(int Index, TObject* AObject) {
    CheckIndex(Index);
    Changing();
    FList[static_cast<size_t>(Index)].FObject = AObject;
    Changed();
}

// ---------------------------------------------------------------------------------------------
// TCollectionItem, TCollection

TCollectionItem* TCollectionItemClass::Create(TCollection* /*Collection*/) const { AbstractError(); }

TCollectionItem::TCollectionItem(TCollection* Collection) {
    if (Collection) {
        Collection->InsertItem(this);
        FAddPending = true;
    }
}

void TCollectionItem::AfterConstruction() {
    TPersistent::AfterConstruction();
    if (FAddPending && FCollection) {
        if (!InheritsFrom(&FCollection->ItemClass())) TList::Error(SInvalidProperty, 0);
        FAddPending = false;
        FCollection->Notify(this, cnAdded);
        FCollection->Changed();
    }
    FAddPending = false;
}

void TCollectionItem::BeforeDestruction() {
    // The collection hears of the removal while the item is still whole.
    SetCollection(nullptr);
    TPersistent::BeforeDestruction();
}

TCollectionItem::~TCollectionItem() {
    if (FCollection) FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* Value) {
    if (FCollection == Value) return;
    if (Value && !InheritsFrom(&Value->ItemClass())) TList::Error(SInvalidProperty, 0);
    if (FCollection) FCollection->RemoveItem(this);
    if (Value) {
        Value->InsertItem(this);
        FAddPending = false;
        Value->Notify(this, cnAdded);
        Value->Changed();
    }
}

int TCollectionItem::Index() const { return FCollection ? FCollection->IndexOf(this) : -1; }

void TCollectionItem::SetIndex(int Value) {
    int cur = Index();
    if (cur >= 0 && cur != Value) {
        FCollection->MoveItem(cur, Value);
        Changed(true);
    }
}

AnsiString TCollectionItem::DisplayName() const { return ClassName(); }

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

AnsiString TCollectionItem::GetNamePath() {
    if (!FCollection) return ClassName();
    return FCollection->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

void TCollectionItem::Changed(bool AllItems) {
    if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(AllItems ? nullptr : this);
}

TCollection::TCollection(const TCollectionItemClass& ItemClass) : FItemClass(&ItemClass) {}

TCollection::~TCollection() {
    // No notifications from here: overrides of Notify and Update are already gone.
    FDestroying = true;
    while (!FItems.empty()) {
        TCollectionItem* item = FItems.back();
        FItems.pop_back();
        item->FCollection = nullptr;
        TObject::Free(item);
    }
}

TCollectionItem* TCollection::Add() { return FItemClass->Create(this); }

TCollectionItem* TCollection::Insert(int Index) {
    TOwnedPtr<TCollectionItem> item = Adopt(Add());
    item->SetIndex(Index);
    return item.release();
}

void TCollection::Delete(int Index) {
    TCollectionItem* item = Items(Index);
    Notify(item, cnDeleting);
    TObject::Free(item);
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    WhileUpdating(*this, [&] {
        while (!FItems.empty()) TObject::Free(FItems.back());
    });
}

TCollectionItem* TCollection::Items(int Index) const {
    if (Index < 0 || Index >= Count()) TList::Error(SListIndexError, Index);
    return FItems[static_cast<size_t>(Index)];
}

int TCollection::IndexOf(const TCollectionItem* Item) const {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TCollectionItem* TCollection::FindItemID(int ID) const {
    for (TCollectionItem* item : FItems)
        if (item->FID == ID) return item;
    return nullptr;
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate() {
    if (FUpdateCount <= 0) return;
    --FUpdateCount;
    Changed();
}

void TCollection::Changed() {
    if (FUpdateCount == 0 && !FDestroying) Update(nullptr);
}

void TCollection::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TCollection*>(Source)) {
        if (src == this) return;
        WhileUpdating(*this, [&] {
            Clear();
            for (TCollectionItem* item : src->FItems) Add()->Assign(item);
        });
        return;
    }
    TPersistent::Assign(Source);
}

AnsiString TCollection::GetNamePath() {
    TPersistent* owner = GetOwner();
    if (!owner) return ClassName();
    AnsiString path = owner->GetNamePath();
    return path.empty() ? AnsiString(ClassName()) : path + ".Items";
}

void TCollection::InsertItem(TCollectionItem* Item) {
    FItems.push_back(Item);
    Item->FCollection = this;
    Item->FID = FNextID++;
}

void TCollection::RemoveItem(TCollectionItem* Item) {
    if (!FDestroying && !Item->FAddPending) Notify(Item, cnExtracting);
    Item->FAddPending = false;
    FItems.erase(std::remove(FItems.begin(), FItems.end(), Item), FItems.end());
    Item->FCollection = nullptr;
    Changed();
}

void TCollection::MoveItem(int CurIndex, int NewIndex) {
    if (NewIndex < 0 || NewIndex >= Count()) TList::Error(SListIndexError, NewIndex);
    TCollectionItem* item = FItems[static_cast<size_t>(CurIndex)];
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, item);
}

}  // namespace rtl

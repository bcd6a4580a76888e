// The object model of the runtime: class references, persistent objects, owned components, the
// pointer list, string lists and collections.
//
// Class references. Every class declares its ClassRef with RTL_CLASS(Name, Base) inside its body:
//
//     class TMyComponent : public rtl::TComponent {
//         RTL_CLASS(TMyComponent, rtl::TComponent)
//     public:
//         explicit TMyComponent(rtl::TComponent* owner) : TComponent(owner) {}
//     };
//
// The macro gives the class `inherited`, a static `StaticClass()` returning its ClassRef object and
// the override of `ClassType()`. The ClassRef's type is the class's `ClassRefType` (inherited from
// the base): TComponent uses TComponentClass, whose Create(owner) is the virtual constructor, and
// TCollectionItem uses TCollectionItemClass. A hierarchy that needs class-level virtual operations
// declares its own ClassRef type with a nested template `Of<T>` (see TComponentClass) and names it
// `using ClassRefType = ...;` before RTL_CLASS; `Of<T>` may forward each operation to a static
// member of T, which a derived class hides to override it.
//
// Construction runs in two phases: the C++ constructor, then the virtual AfterConstruction. Create
// objects with rtl::Create<T>(args...) (or a ClassRef's factory), which runs both; free them with
// Free()/FreeAndNil, which runs BeforeDestruction while the object is still whole.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"

namespace rtl {

class TObject;
class TPersistent;
class TComponent;
class TCollection;
class TCollectionItem;
class TStream;
class TFiler;

// A small set of enumeration values below 64, held as one bit each.
template <class E>
class TSet {
public:
    constexpr TSet() noexcept = default;
    constexpr TSet(std::initializer_list<E> values) noexcept {
        for (E v : values) FBits |= Bit(v);
    }
    static constexpr TSet FromBits(uint64_t bits) noexcept {
        TSet s;
        s.FBits = bits;
        return s;
    }
    constexpr bool Contains(E v) const noexcept { return (FBits & Bit(v)) != 0; }
    constexpr TSet& Include(E v) noexcept {
        FBits |= Bit(v);
        return *this;
    }
    constexpr TSet& Exclude(E v) noexcept {
        FBits &= ~Bit(v);
        return *this;
    }
    constexpr bool Empty() const noexcept { return FBits == 0; }
    constexpr uint64_t Bits() const noexcept { return FBits; }
    friend constexpr TSet operator+(TSet a, TSet b) noexcept { return FromBits(a.FBits | b.FBits); }
    friend constexpr TSet operator-(TSet a, TSet b) noexcept { return FromBits(a.FBits & ~b.FBits); }
    friend constexpr TSet operator*(TSet a, TSet b) noexcept { return FromBits(a.FBits & b.FBits); }
    friend constexpr bool operator==(TSet a, TSet b) noexcept = default;

private:
    static constexpr uint64_t Bit(E v) noexcept { return uint64_t{1} << static_cast<unsigned>(v); }
    uint64_t FBits = 0;
};

// ---------------------------------------------------------------------------------------------
// Class references

class ClassRef {
public:
    constexpr ClassRef(const char* name, const ClassRef* parent) noexcept : FName(name), FParent(parent) {}
    virtual ~ClassRef() = default;
    ClassRef(const ClassRef&) = delete;
    ClassRef& operator=(const ClassRef&) = delete;

    const char* ClassName() const noexcept { return FName; }
    const ClassRef* ClassParent() const noexcept { return FParent; }
    // True when this class is the given class or descends from it.
    bool InheritsFrom(const ClassRef* other) const noexcept;
    // Case-insensitive comparison with the class's own name.
    bool ClassNameIs(std::string_view name) const noexcept;
    // True when this class or one of its ancestors has the given name (case-insensitive).
    bool IsClassByName(std::string_view name) const noexcept;
    // A new instance through the default constructor; AbstractError for classes that have none.
    virtual TObject* NewInstance() const;

    template <class T>
    class Of;

private:
    const char* FName;
    const ClassRef* FParent;
};

template <class T, class... A>
T* Create(A&&... args);

template <class T>
class ClassRef::Of : public ClassRef {
public:
    using ClassRef::ClassRef;
    TObject* NewInstance() const override {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            return ::rtl::Create<T>();
        else
            return ClassRef::NewInstance();
    }
};

#define RTL_CLASS(Name, Base)                                                                   \
public:                                                                                         \
    using inherited = Base;                                                                     \
    static const ClassRefType& StaticClass() {                                                  \
        static const typename ClassRefType::template Of<Name> ref(#Name, &Base::StaticClass()); \
        return ref;                                                                             \
    }                                                                                           \
    const ::rtl::ClassRef* ClassType() const override { return &Name::StaticClass(); }          \
                                                                                                \
private:

// ---------------------------------------------------------------------------------------------
// TObject

class TObject {
public:
    using ClassRefType = ClassRef;
    static const ClassRef& StaticClass();

    TObject() = default;
    virtual ~TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;

    virtual const ClassRef* ClassType() const { return &StaticClass(); }
    const char* ClassName() const { return ClassType()->ClassName(); }
    const ClassRef* ClassParent() const { return ClassType()->ClassParent(); }
    bool InheritsFrom(const ClassRef* cls) const { return ClassType()->InheritsFrom(cls); }
    bool ClassNameIs(std::string_view name) const { return ClassType()->ClassNameIs(name); }
    bool IsClassByName(std::string_view name) const { return ClassType()->IsClassByName(name); }

    // Second construction phase; rtl::Create calls it once the object is whole.
    virtual void AfterConstruction() {}
    // First destruction phase; Free calls it while the object is still whole.
    virtual void BeforeDestruction() {}
    // BeforeDestruction, then delete; nothing on a null object.
    static void Free(TObject* obj);
    void Free() { Free(this); }

protected:
    // Whether rtl::Create made the object and so ran its second phase.
    bool MadeByCreate() const noexcept { return FCreated; }

private:
    template <class T, class... A>
    friend T* Create(A&&... args);
    bool FCreated = false;
};

template <class T, class... A>
T* Create(A&&... args) {
    T* obj = new T(std::forward<A>(args)...);
    obj->FCreated = true;
    try {
        obj->AfterConstruction();
    } catch (...) {
        TObject::Free(obj);
        throw;
    }
    return obj;
}

template <class T>
void FreeAndNil(T*& obj) {
    T* p = obj;
    obj = nullptr;
    TObject::Free(p);
}

// Destroys through Free; for unique_ptr members that hold framework objects.
struct TObjectDeleter {
    void operator()(TObject* obj) const { TObject::Free(obj); }
};
template <class T>
using TOwnedPtr = std::unique_ptr<T, TObjectDeleter>;

using TNotifyEvent = std::function<void(TObject* Sender)>;

// ---------------------------------------------------------------------------------------------
// TPersistent

class TPersistent : public TObject {
    RTL_CLASS(TPersistent, TObject)
public:
    // Copies Source into this object; by default asks Source to AssignTo this object.
    virtual void Assign(TPersistent* Source);
    virtual TPersistent* GetOwner() { return nullptr; }
    virtual AnsiString GetNamePath();
    // Hook of form streaming for properties that are not published.
    virtual void DefineProperties(TFiler* /*Filer*/) {}

protected:
    // Copies this object into Dest; by default raises the assign error.
    virtual void AssignTo(TPersistent* Dest);
    // Raises EConvertError "Cannot assign a %s to a %s".
    [[noreturn]] void AssignError(TPersistent* Source);
};

// ---------------------------------------------------------------------------------------------
// TComponent

enum class TOperation { opInsert, opRemove };
using enum TOperation;

enum TComponentStateFlag {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csFreeNotification,
    csInline,
    csDesignInstance,
};
using TComponentState = TSet<TComponentStateFlag>;

enum TComponentStyleFlag { csInheritable, csCheckPropAvail, csSubComponent, csTransient };
using TComponentStyle = TSet<TComponentStyleFlag>;

// The class reference of components: its Create is the virtual constructor.
class TComponentClass : public ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TComponent* Create(TComponent* Owner) const;
    template <class T>
    class Of;
};

template <class T>
class TComponentClass::Of : public TComponentClass {
public:
    using TComponentClass::TComponentClass;
    TComponent* Create(TComponent* Owner) const override {
        if constexpr (std::is_constructible_v<T, TComponent*> && !std::is_abstract_v<T>)
            return ::rtl::Create<T>(Owner);
        else
            return TComponentClass::Create(Owner);
    }
    TObject* NewInstance() const override { return Create(nullptr); }
};

class TComponent : public TPersistent {
public:
    using ClassRefType = TComponentClass;
    RTL_CLASS(TComponent, TPersistent)
public:
    // Joins Owner's components at once; Owner hears opInsert in AfterConstruction.
    explicit TComponent(TComponent* Owner);
    ~TComponent() override;

    void AfterConstruction() override;
    void BeforeDestruction() override;

    TComponent* Owner() const noexcept { return FOwner; }
    int ComponentCount() const noexcept { return static_cast<int>(FComponents.size()); }
    // Raises EListError on a bad index.
    TComponent* Components(int Index) const;
    int ComponentIndex() const;
    void SetComponentIndex(int Value);

    const AnsiString& Name() const noexcept { return FName; }
    // Checks the name ("'%s' is not a valid component name") and its uniqueness among the owner's
    // components ("A component named %s already exists"); names compare case-insensitively.
    virtual void SetName(const AnsiString& NewName);

    intptr_t Tag() const noexcept { return FTag; }
    void SetTag(intptr_t Value) noexcept { FTag = Value; }

    TComponentState ComponentState() const noexcept { return FComponentState; }
    TComponentStyle ComponentStyle() const noexcept { return FComponentStyle; }
    // For the streaming system and tests: sets or clears one state flag of this component only.
    void SetComponentStateFlag(TComponentStateFlag Flag, bool On);
    // Marks this component and every component it owns.
    void SetDesigning(bool Value, bool SetChildren = true);
    // Marks this component and every component it owns as being destroyed.
    void Destroying();
    void Updating();
    void Updated();
    // Loading finished: clears csLoading.
    virtual void Loaded();

    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, last first.
    void DestroyComponents();
    // Case-insensitive; null for an empty or unknown name.
    TComponent* FindComponent(std::string_view AName) const;

    // Asks that AComponent be told (opRemove) when this component is freed, and the other way
    // round.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Told when a component is inserted into or removed from this owner, and when a component that
    // asked for free notification goes. The default passes opRemove on to every owned component.
    virtual void Notification(TComponent* AComponent, TOperation Operation);

    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual bool HasParent() const { return false; }
    TPersistent* GetOwner() override { return FOwner; }
    AnsiString GetNamePath() override { return FName; }

protected:
    virtual void ValidateRename(TComponent* AComponent, const AnsiString& CurName, const AnsiString& NewName);
    virtual void ValidateContainer(TComponent* AComponent);
    virtual void ValidateInsert(TComponent* AComponent);
    void ChangeName(const AnsiString& NewName) { FName = NewName; }
    // Points a reference field at Value, moving the free notification from the old referent to
    // the new one, so the field is cleared when its component goes.
    template <class T>
    void SetNotifiedReference(T*& Field, T* Value) {
        if (Field == Value) return;
        if (Field) Field->RemoveFreeNotification(this);
        Field = Value;
        if (Value) Value->FreeNotification(this);
    }

    TComponentState FComponentState;
    TComponentStyle FComponentStyle{csInheritable};

private:
    void Insert(TComponent* AComponent);
    void Remove(TComponent* AComponent);
    void SendFreeNotifications();
    void DetachFromOwner();

    TComponent* FOwner = nullptr;
    AnsiString FName;
    intptr_t FTag = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    bool FInsertPending = false;
};

// ---------------------------------------------------------------------------------------------
// TList

enum class TListNotification { lnAdded, lnExtracted, lnDeleted };
using enum TListNotification;

// Negative, zero or positive as Item1 sorts before, with or after Item2.
using TListSortCompare = std::function<int(void* Item1, void* Item2)>;

class TList : public TObject {
    RTL_CLASS(TList, TObject)
public:
    TList() = default;
    ~TList() override;

    int Add(void* Item);
    void Insert(int Index, void* Item);
    void Delete(int Index);
    // Deletes the first occurrence; returns its former index or -1.
    int Remove(void* Item);
    // Takes the first occurrence out without deleting it; returns it or null.
    void* Extract(void* Item);
    int IndexOf(void* Item) const;
    virtual void Clear();
    void Exchange(int Index1, int Index2);
    void Move(int CurIndex, int NewIndex);
    // Removes every null item.
    void Pack();
    void Sort(const TListSortCompare& Compare);
    void* First() const;
    void* Last() const;
    TList* Expand();

    int Count() const noexcept { return static_cast<int>(FList.size()); }
    // Grows with null items; shrinking deletes from the end.
    void SetCount(int NewCount);
    int Capacity() const noexcept { return static_cast<int>(FList.capacity()); }
    void SetCapacity(int NewCapacity);
    void* Items(int Index) const;
    void SetItems(int Index, void* Item);
    void* operator[](int Index) const { return Items(Index); }
    void** List() noexcept { return FList.data(); }

    [[noreturn]] static void Error(const char* Msg, int Data);

protected:
    virtual void Notify(void* /*Ptr*/, TListNotification /*Action*/) {}

private:
    void CheckIndex(int Index) const;
    std::vector<void*> FList;
};

// ---------------------------------------------------------------------------------------------
// TStrings and TStringList

class TStrings : public TPersistent {
    RTL_CLASS(TStrings, TPersistent)
public:
    TStrings() = default;

    virtual int Count() const = 0;
    AnsiString Strings(int Index) const { return Get(Index); }
    void SetStrings(int Index, const AnsiString& S) { Put(Index, S); }
    AnsiString operator[](int Index) const { return Get(Index); }
    TObject* Objects(int Index) const { return GetObject(Index); }
    void SetObjects(int Index, TObject* AObject) { PutObject(Index, AObject); }

    virtual int Add(const AnsiString& S);
    virtual int AddObject(const AnsiString& S, TObject* AObject);
    void Append(const AnsiString& S) { Add(S); }
    virtual void AddStrings(TStrings* Strings);
    virtual void Insert(int Index, const AnsiString& S) = 0;
    void InsertObject(int Index, const AnsiString& S, TObject* AObject);
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    virtual void Exchange(int Index1, int Index2);
    virtual void Move(int CurIndex, int NewIndex);
    virtual int IndexOf(const AnsiString& S) const;
    int IndexOfName(const AnsiString& Name) const;
    int IndexOfObject(TObject* AObject) const;
    bool Equals(TStrings* Strings) const;

    // name=value access; names compare as CompareStrings does.
    AnsiString Names(int Index) const;
    AnsiString Values(const AnsiString& Name) const;
    // An empty value deletes the entry.
    void SetValues(const AnsiString& Name, const AnsiString& Value);
    AnsiString ValueFromIndex(int Index) const;
    void SetValueFromIndex(int Index, const AnsiString& Value);
    char NameValueSeparator() const noexcept { return FNameValueSeparator; }
    void SetNameValueSeparator(char C) noexcept { FNameValueSeparator = C; }

    // Lines each ended by "\r\n"; setting accepts "\r\n", "\n" or "\r".
    virtual AnsiString Text() const;
    virtual void SetText(const AnsiString& Value);
    AnsiString CommaText() const;
    void SetCommaText(const AnsiString& Value);
    AnsiString DelimitedText() const;
    void SetDelimitedText(const AnsiString& Value);
    char Delimiter() const noexcept { return FDelimiter; }
    void SetDelimiter(char C) noexcept { FDelimiter = C; }
    char QuoteChar() const noexcept { return FQuoteChar; }
    void SetQuoteChar(char C) noexcept { FQuoteChar = C; }

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const noexcept { return FUpdateCount; }

    // Bytes are 1251 text as they stand.
    virtual void LoadFromFile(const AnsiString& FileName);
    virtual void SaveToFile(const AnsiString& FileName);
    virtual void LoadFromStream(TStream* Stream);
    virtual void SaveToStream(TStream* Stream);

    void Assign(TPersistent* Source) override;
    virtual int Capacity() const { return Count(); }
    virtual void SetCapacity(int /*NewCapacity*/) {}

protected:
    virtual AnsiString Get(int Index) const = 0;
    virtual void Put(int Index, const AnsiString& S);
    virtual TObject* GetObject(int /*Index*/) const { return nullptr; }
    virtual void PutObject(int /*Index*/, TObject* /*AObject*/) {}
    virtual void SetUpdateState(bool /*Updating*/) {}
    // Locale-aware, case-insensitive by default.
    virtual int CompareStrings(const AnsiString& S1, const AnsiString& S2) const;
    [[noreturn]] void Error(const char* Msg, int Data) const;
    void AssignTo(TPersistent* Dest) override;

private:
    AnsiString ExtractName(const AnsiString& S) const;
    AnsiString JoinDelimited(char Delimiter, char Quote) const;

    int FUpdateCount = 0;
    char FDelimiter = ',';
    char FQuoteChar = '"';
    char FNameValueSeparator = '=';
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };
using enum TDuplicates;

class TStringList;
// Negative, zero or positive as the string at Index1 sorts before, with or after Index2.
using TStringListSortCompare = std::function<int(TStringList* List, int Index1, int Index2)>;

class TStringList : public TStrings {
    RTL_CLASS(TStringList, TStrings)
public:
    TStringList() = default;
    ~TStringList() override;

    int Count() const override { return static_cast<int>(FList.size()); }
    int Add(const AnsiString& S) override;
    int AddObject(const AnsiString& S, TObject* AObject) override;
    void Insert(int Index, const AnsiString& S) override;
    void Delete(int Index) override;
    void Clear() override;
    void Exchange(int Index1, int Index2) override;
    int IndexOf(const AnsiString& S) const override;
    // Binary search of a sorted list: true when found; Index is the match or the insert position.
    virtual bool Find(const AnsiString& S, int& Index) const;
    virtual void Sort();
    virtual void CustomSort(const TStringListSortCompare& Compare);

    bool Sorted() const noexcept { return FSorted; }
    void SetSorted(bool Value);
    TDuplicates Duplicates() const noexcept { return FDuplicates; }
    void SetDuplicates(TDuplicates Value) noexcept { FDuplicates = Value; }
    bool CaseSensitive() const noexcept { return FCaseSensitive; }
    void SetCaseSensitive(bool Value);
    int Capacity() const override { return static_cast<int>(FList.capacity()); }
    void SetCapacity(int NewCapacity) override;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

    // The comparison the list sorts and searches by.
    int CompareStrings(const AnsiString& S1, const AnsiString& S2) const override;

protected:
    AnsiString Get(int Index) const override;
    void Put(int Index, const AnsiString& S) override;
    TObject* GetObject(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;
    void SetUpdateState(bool Updating) override;
    virtual void Changed();
    virtual void Changing();
    virtual void InsertItem(int Index, const AnsiString& S, TObject* AObject);

private:
    struct TStringItem {
        AnsiString FString;
        TObject* FObject = nullptr;
    };
    void CheckIndex(int Index) const;

    std::vector<TStringItem> FList;
    bool FSorted = false;
    bool FCaseSensitive = false;
    TDuplicates FDuplicates = dupIgnore;
};

// ---------------------------------------------------------------------------------------------
// TCollection

enum class TCollectionNotification { cnAdded, cnExtracting, cnDeleting };
using enum TCollectionNotification;

// The class reference of collection items: its Create is the virtual constructor.
class TCollectionItemClass : public ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TCollectionItem* Create(TCollection* Collection) const;
    template <class T>
    class Of;
};

template <class T>
class TCollectionItemClass::Of : public TCollectionItemClass {
public:
    using TCollectionItemClass::TCollectionItemClass;
    TCollectionItem* Create(TCollection* Collection) const override {
        if constexpr (std::is_constructible_v<T, TCollection*> && !std::is_abstract_v<T>)
            return ::rtl::Create<T>(Collection);
        else
            return TCollectionItemClass::Create(Collection);
    }
    TObject* NewInstance() const override { return Create(nullptr); }
};

class TCollectionItem : public TPersistent {
public:
    using ClassRefType = TCollectionItemClass;
    RTL_CLASS(TCollectionItem, TPersistent)
public:
    // Joins Collection at once; the collection hears cnAdded and Update in AfterConstruction.
    explicit TCollectionItem(TCollection* Collection);
    ~TCollectionItem() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    TCollection* Collection() const noexcept { return FCollection; }
    // Moves the item into another collection (null takes it out).
    virtual void SetCollection(TCollection* Value);
    int ID() const noexcept { return FID; }
    int Index() const;
    // Moves the item within its collection.
    virtual void SetIndex(int Value);
    virtual AnsiString DisplayName() const;
    virtual void SetDisplayName(const AnsiString& /*Value*/) { Changed(false); }
    TPersistent* GetOwner() override;
    AnsiString GetNamePath() override;

protected:
    // Tells the collection (Update) unless it is inside BeginUpdate/EndUpdate.
    void Changed(bool AllItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
    bool FAddPending = false;
};

class TCollection : public TPersistent {
    RTL_CLASS(TCollection, TPersistent)
public:
    explicit TCollection(const TCollectionItemClass& ItemClass);
    ~TCollection() override;

    const TCollectionItemClass& ItemClass() const noexcept { return *FItemClass; }
    TCollectionItem* Add();
    TCollectionItem* Insert(int Index);
    void Delete(int Index);
    void Clear();
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    // Raises EListError "List index out of bounds (%d)" on a bad index.
    TCollectionItem* Items(int Index) const;
    int IndexOf(const TCollectionItem* Item) const;
    TCollectionItem* FindItemID(int ID) const;
    virtual void BeginUpdate();
    virtual void EndUpdate();
    int UpdateCount() const noexcept { return FUpdateCount; }
    void Assign(TPersistent* Source) override;
    AnsiString GetNamePath() override;

protected:
    // Item changed (or, for null, the whole collection).
    virtual void Update(TCollectionItem* /*Item*/) {}
    virtual void Notify(TCollectionItem* /*Item*/, TCollectionNotification /*Action*/) {}
    void Changed();
    int NextID() const noexcept { return FNextID; }

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* Item);
    void RemoveItem(TCollectionItem* Item);
    void MoveItem(int CurIndex, int NewIndex);

    const TCollectionItemClass* FItemClass;
    std::vector<TCollectionItem*> FItems;
    int FUpdateCount = 0;
    int FNextID = 0;
    bool FDestroying = false;
};

// A collection whose owner is given at construction.
class TOwnedCollection : public TCollection {
    RTL_CLASS(TOwnedCollection, TCollection)
public:
    TOwnedCollection(TPersistent* AOwner, const TCollectionItemClass& ItemClass)
        : TCollection(ItemClass), FOwner(AOwner) {}
    TPersistent* GetOwner() override { return FOwner; }

private:
    TPersistent* FOwner;
};

}  // namespace rtl

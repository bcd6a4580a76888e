#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"

using namespace rtl;

namespace {

AnsiString A(const char8_t* utf8) { return UTF8ToAnsi(reinterpret_cast<const char*>(utf8)); }

std::vector<std::string> Lines(const TStrings& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Components that record what happens to them.

std::vector<std::string> gLog;

class TLogged : public TComponent {
    RTL_CLASS(TLogged, TComponent)
public:
    explicit TLogged(TComponent* Owner) : TComponent(Owner) {}
    ~TLogged() override { gLog.push_back("free " + Name()); }
    void AfterConstruction() override {
        TComponent::AfterConstruction();
        ++FAfterConstruction;
    }
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        gLog.push_back(Name() + (Operation == opInsert ? " +" : " -") + AComponent->Name());
        // The departing component is still whole: its most derived class is visible.
        if (Operation == opRemove) FLastRemovedClass = AComponent->ClassName();
        if (Operation == opRemove && AComponent == FTarget) FTarget = nullptr;
    }
    void SetTarget(TComponent* Value) {
        FTarget = Value;
        if (Value) Value->FreeNotification(this);
    }
    TComponent* FTarget = nullptr;
    int FAfterConstruction = 0;
    std::string FLastRemovedClass;
};

class TSpecial : public TLogged {
    RTL_CLASS(TSpecial, TLogged)
public:
    using TLogged::TLogged;
};

class TAbstractThing : public TComponent {
    RTL_CLASS(TAbstractThing, TComponent)
public:
    using TComponent::TComponent;
    virtual void Run() = 0;
};

TLogged* Make(TComponent* owner, const char* name) {
    auto* c = Create<TLogged>(owner);
    c->SetName(name);
    return c;
}

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override { gLog.clear(); }
};

}  // namespace

TEST(ClassRefTest, NamesAncestryAndVirtualConstruction) {
    const TComponentClass& cls = TSpecial::StaticClass();
    EXPECT_STREQ(cls.ClassName(), "TSpecial");
    EXPECT_EQ(cls.ClassParent(), &TLogged::StaticClass());
    EXPECT_TRUE(cls.InheritsFrom(&TComponent::StaticClass()));
    EXPECT_FALSE(TComponent::StaticClass().InheritsFrom(&cls));
    EXPECT_TRUE(cls.IsClassByName("tpersistent"));
    EXPECT_TRUE(cls.IsClassByName("TObject"));
    EXPECT_FALSE(cls.IsClassByName("TStrings"));

    TOwnedPtr<TComponent> owner(Create<TComponent>(nullptr));
    // Through a base-class reference the factory still makes the derived class and runs the
    // second construction phase.
    const TComponentClass& base = cls;
    TComponent* made = base.Create(owner.get());
    EXPECT_STREQ(made->ClassName(), "TSpecial");
    EXPECT_EQ(made->Owner(), owner.get());
    EXPECT_EQ(static_cast<TLogged*>(made)->FAfterConstruction, 1);
    EXPECT_TRUE(made->InheritsFrom(&TLogged::StaticClass()));

    EXPECT_THROW(TAbstractThing::StaticClass().Create(nullptr), EAbstractError);
    std::unique_ptr<TObject> list(TStringList::StaticClass().NewInstance());
    EXPECT_STREQ(list->ClassName(), "TStringList");
}

TEST(PersistentTest, AssignBetweenUnrelatedClassesNamesBoth) {
    TStringList list;
    TCollection collection(TCollectionItem::StaticClass());
    try {
        list.Assign(&collection);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TCollection to a TStringList");
    }
    try {
        list.Assign(nullptr);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a nil to a TStringList");
    }
}

TEST_F(ComponentTest, OwnerFreesItsComponentsLastFirst) {
    TLogged* owner = Make(nullptr, "Owner");
    TLogged* a = Make(owner, "A");
    Make(owner, "B");
    Make(a, "Inner");
    ASSERT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(1)->Name(), "B");
    EXPECT_EQ(a->ComponentIndex(), 0);
    gLog.clear();
    owner->Free();
    EXPECT_EQ(gLog, (std::vector<std::string>{"free Owner", "free B", "free A", "free Inner"}));
}

TEST_F(ComponentTest, OwnerHearsInsertAfterConstructionAndRemoveOnFree) {
    TOwnedPtr<TLogged> owner(Make(nullptr, "Owner"));
    TLogged* child = Create<TSpecial>(owner.get());
    EXPECT_EQ(gLog, (std::vector<std::string>{"Owner +"}));
    child->SetName("Child");
    gLog.clear();
    child->Free();
    // The owner passes the removal on to its components, the departing one included.
    EXPECT_EQ(gLog, (std::vector<std::string>{"Child -Child", "Owner -Child", "free Child"}));
    EXPECT_EQ(owner->FLastRemovedClass, "TSpecial");
    EXPECT_EQ(owner->ComponentCount(), 0);
}

TEST_F(ComponentTest, FreeNotificationClearsReferencesHeldByOthers) {
    TOwnedPtr<TComponent> form1(Create<TComponent>(nullptr));
    TOwnedPtr<TComponent> form2(Create<TComponent>(nullptr));
    TLogged* target = Make(form1.get(), "Target");
    TLogged* watcher = Make(form2.get(), "Watcher");
    TLogged* sibling = Make(form1.get(), "Sibling");
    TLogged* loner = Make(nullptr, "Loner");
    watcher->SetTarget(target);
    sibling->SetTarget(target);  // same owner: told through the owner
    loner->SetTarget(target);
    EXPECT_TRUE(target->ComponentState().Contains(csFreeNotification));

    target->Free();
    EXPECT_EQ(watcher->FTarget, nullptr);
    EXPECT_EQ(sibling->FTarget, nullptr);
    EXPECT_EQ(loner->FTarget, nullptr);
    EXPECT_EQ(watcher->FLastRemovedClass, "TLogged");

    // The link goes both ways: freeing the watcher first leaves no dangling entry in the target.
    TLogged* target2 = Make(form1.get(), "Target2");
    loner->SetTarget(target2);
    loner->Free();
    gLog.clear();
    target2->Free();
    EXPECT_EQ(gLog, (std::vector<std::string>{"Target2 -Target2", "Sibling -Target2", "free Target2"}));

    // RemoveFreeNotification stops the message.
    TLogged* target3 = Make(form1.get(), "Target3");
    watcher->SetTarget(target3);
    target3->RemoveFreeNotification(watcher);
    gLog.clear();
    target3->Free();
    EXPECT_EQ(watcher->FTarget, target3);  // not told
    watcher->FTarget = nullptr;
}

TEST_F(ComponentTest, ReferencesAmongSiblingsAreClearedWhenTheOwnerGoes) {
    TLogged* owner = Make(nullptr, "Owner");
    TLogged* user = Make(owner, "User");
    TLogged* used = Make(owner, "Used");  // freed first, last in the list
    user->SetTarget(used);
    TLogged* outside = Make(nullptr, "Outside");
    outside->SetTarget(user);
    owner->Free();
    EXPECT_EQ(outside->FTarget, nullptr);
    outside->Free();
    // Nothing to check for User: the sanitizer catches a dangling use; it must have heard of Used.
    EXPECT_NE(std::find(gLog.begin(), gLog.end(), "User -Used"), gLog.end());
}

TEST_F(ComponentTest, NamesAreUniqueAmongSiblingsIgnoringCase) {
    TOwnedPtr<TComponent> owner(Create<TComponent>(nullptr));
    TLogged* a = Make(owner.get(), "edName");
    TLogged* b = Make(owner.get(), "edOther");
    try {
        b->SetName("EDNAME");
        FAIL() << "no error";
    } catch (const EComponentError& e) {
        EXPECT_EQ(e.Message(), "A component named EDNAME already exists");
    }
    EXPECT_EQ(b->Name(), "edOther");
    a->SetName("EdName");  // a case change of its own name is fine
    EXPECT_EQ(owner->FindComponent("EDNAME"), a);
    EXPECT_EQ(owner->FindComponent(""), nullptr);
    EXPECT_EQ(owner->FindComponent("missing"), nullptr);

    for (const char* bad : {"1abc", "a b", "a-b"}) {
        try {
            a->SetName(bad);
            FAIL() << bad;
        } catch (const EComponentError& e) {
            EXPECT_EQ(e.Message(), "'" + std::string(bad) + "' is not a valid component name");
        }
    }
    EXPECT_EQ(a->Name(), "EdName");

    // Moving a component under an owner that already has its name is refused; nothing moves.
    TOwnedPtr<TComponent> other(Create<TComponent>(nullptr));
    TLogged* clash = Make(other.get(), "edname");
    EXPECT_THROW(owner->InsertComponent(clash), EComponentError);
    EXPECT_EQ(clash->Owner(), other.get());
    clash->SetName("Moved");
    owner->InsertComponent(clash);
    EXPECT_EQ(clash->Owner(), owner.get());
    EXPECT_EQ(other->ComponentCount(), 0);
    EXPECT_THROW(owner->Components(5), EListError);
}

TEST_F(ComponentTest, StateFlagsReachOwnedComponents) {
    TOwnedPtr<TComponent> owner(Create<TComponent>(nullptr));
    owner->SetDesigning(true);
    TLogged* child = Make(owner.get(), "Child");
    EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
    child->SetComponentStateFlag(csLoading, true);
    child->Loaded();
    EXPECT_FALSE(child->ComponentState().Contains(csLoading));
    owner->Destroying();
    EXPECT_TRUE(child->ComponentState().Contains(csDestroying));
}

// ---------------------------------------------------------------------------------------------
// TList

TEST(ListTest, EditingAndErrors) {
    int v[5] = {0, 1, 2, 3, 4};
    TList list;
    for (int& x : v) list.Add(&x);
    list.Move(0, 4);
    list.Exchange(0, 1);
    EXPECT_EQ(list[0], &v[2]);
    EXPECT_EQ(list.Last(), &v[0]);
    EXPECT_EQ(list.Extract(&v[3]), &v[3]);
    EXPECT_EQ(list.Extract(&v[3]), nullptr);
    EXPECT_EQ(list.Remove(&v[4]), 2);
    list.Insert(1, nullptr);
    list.Add(nullptr);
    list.Pack();
    EXPECT_EQ(list.Count(), 3);
    list.Sort([](void* a, void* b) { return *static_cast<int*>(a) - *static_cast<int*>(b); });
    EXPECT_EQ(list[0], &v[0]);
    EXPECT_EQ(list[2], &v[2]);

    struct Case {
        std::function<void()> op;
        std::string message;
    } cases[] = {
        {[&] { list.Items(3); }, "List index out of bounds (3)"},
        {[&] { list.Delete(-1); }, "List index out of bounds (-1)"},
        {[&] { list.Insert(5, nullptr); }, "List index out of bounds (5)"},
        {[&] { list.Move(0, 3); }, "List index out of bounds (3)"},
        {[&] { list.SetCapacity(1); }, "List capacity out of bounds (1)"},
        {[&] { list.SetCount(-2); }, "List count out of bounds (-2)"},
        {[&] { TList().First(); }, "List index out of bounds (0)"},
    };
    for (auto& c : cases) {
        try {
            c.op();
            ADD_FAILURE() << c.message;
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    EXPECT_EQ(list.Count(), 3);
    list.SetCount(5);
    EXPECT_EQ(list[4], nullptr);
}

// ---------------------------------------------------------------------------------------------
// TStrings, TStringList

TEST(StringListTest, SortedCyrillicFollowsRussianCollation) {
    TStringList list;
    list.SetSorted(true);
    for (const char8_t* s : {u8"яблоко", u8"Вишня", u8"банан", u8"apple", u8"Арбуз", u8"груша"}) list.Add(A(s));
    // Latin before Cyrillic, Russian letter order, case ignored (byte order would differ).
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"apple", A(u8"Арбуз"), A(u8"банан"), A(u8"Вишня"), A(u8"груша"),
                                                     A(u8"яблоко")}));
    int index = -1;
    EXPECT_TRUE(list.Find(A(u8"ВИШНЯ"), index));
    EXPECT_EQ(index, 3);
    EXPECT_FALSE(list.Find(A(u8"дыня"), index));
    EXPECT_EQ(index, 5);
    EXPECT_EQ(list.IndexOf(A(u8"ЯБЛОКО")), 5);

    // Case-sensitive: both spellings are kept, each found only as written.
    list.SetCaseSensitive(true);
    list.Add(A(u8"Банан"));
    EXPECT_EQ(list.Count(), 7);
    EXPECT_EQ(list.IndexOf(A(u8"БАНАН")), -1);
    EXPECT_GE(list.IndexOf(A(u8"Банан")), 0);

    EXPECT_THROW(list.Insert(0, "x"), EStringListError);
    EXPECT_THROW(list.SetStrings(0, "x"), EStringListError);
}

TEST(StringListTest, DuplicatesPolicy) {
    struct Case {
        TDuplicates dup;
        int count;
        bool raises;
    } cases[] = {{dupIgnore, 2, false}, {dupAccept, 3, false}, {dupError, 2, true}};
    for (const auto& c : cases) {
        TStringList list;
        list.SetSorted(true);
        list.SetDuplicates(c.dup);
        list.Add(A(u8"Москва"));
        list.Add(A(u8"Ярославль"));
        if (c.raises) {
            try {
                list.Add(A(u8"МОСКВА"));
                ADD_FAILURE() << "no error";
            } catch (const EStringListError& e) {
                EXPECT_EQ(e.Message(), "String list does not allow duplicates");
            }
        } else {
            EXPECT_EQ(list.Add(A(u8"МОСКВА")), 0);
        }
        EXPECT_EQ(list.Count(), c.count) << static_cast<int>(c.dup);
    }
    // An unsorted list keeps everything.
    TStringList plain;
    plain.SetDuplicates(dupError);
    plain.Add("a");
    plain.Add("a");
    EXPECT_EQ(plain.Count(), 2);
}

TEST(StringListTest, NameValuePairsIgnoreCase) {
    TStringList list;
    list.Add(A(u8"Город=Москва"));
    list.Add(A(u8"Улица=Тверская=7"));
    list.Add(A(u8"без значения"));
    EXPECT_EQ(list.Values(A(u8"ГОРОД")), A(u8"Москва"));
    EXPECT_EQ(list.Values(A(u8"улица")), A(u8"Тверская=7"));
    EXPECT_EQ(list.Values(A(u8"без значения")), "");
    EXPECT_EQ(list.Names(0), A(u8"Город"));
    EXPECT_EQ(list.Names(2), "");
    EXPECT_EQ(list.ValueFromIndex(1), A(u8"Тверская=7"));
    EXPECT_EQ(list.IndexOfName(A(u8"УЛИЦА")), 1);

    list.SetValues(A(u8"город"), A(u8"Тверь"));
    EXPECT_EQ(list[0], A(u8"город=Тверь"));
    list.SetValues(A(u8"Индекс"), "170000");
    EXPECT_EQ(list[3], A(u8"Индекс=170000"));
    list.SetValues(A(u8"ГОРОД"), "");  // an empty value deletes the pair
    EXPECT_EQ(list.IndexOfName(A(u8"Город")), -1);
    EXPECT_EQ(list.Count(), 3);
}

TEST(StringListTest, UpdateBracketFiresEventsOnce) {
    TStringList list;
    int changes = 0, changings = 0;
    list.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        ++changes;
    };
    list.OnChanging = [&](TObject*) { ++changings; };
    list.Add("a");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(changings, 1);

    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("b");
    list.Delete(0);
    list.SetText("x\ny\n");
    list.EndUpdate();
    EXPECT_EQ(changes, 1);  // nothing while inside
    list.EndUpdate();
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(changings, 2);
    list.EndUpdate();  // unbalanced: ignored
    EXPECT_EQ(changes, 2);

    changes = 0;
    list.SetSorted(true);
    list.Add("a");
    EXPECT_EQ(changes, 2);  // the sort, then the insert
    EXPECT_THROW(list.Delete(7), EStringListError);
    EXPECT_EQ(changes, 2);
}

TEST(StringListTest, TextAndDelimitedForms) {
    TStringList list;
    list.SetText("one\r\ntwo\n\nfour\rfive\r\n");
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"one", "two", "", "four", "five"}));
    EXPECT_EQ(list.Text(), "one\r\ntwo\r\n\r\nfour\r\nfive\r\n");
    list.SetText("");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Text(), "");

    struct Case {
        std::vector<std::string> items;
        std::string comma;
    } cases[] = {
        {{"a", "b c", "d\"e", ""}, "a,\"b c\",\"d\"\"e\","},
        {{""}, "\"\""},
        {{A(u8"Иванов"), A(u8"Пётр Ильич")}, A(u8"Иванов,\"Пётр Ильич\"")},
        {{"x,y", "z"}, "\"x,y\",z"},
    };
    for (const auto& c : cases) {
        TStringList l;
        for (const auto& s : c.items) l.Add(s);
        EXPECT_EQ(l.CommaText(), c.comma);
        TStringList back;
        back.SetCommaText(c.comma);
        // A trailing empty item needs its delimiter at the very end, which reading keeps.
        EXPECT_EQ(Lines(back), c.items) << c.comma;
    }

    // Reading: blanks separate unquoted items, quotes may be doubled, a trailing delimiter adds "".
    TStringList parsed;
    parsed.SetCommaText("  a b ,\"c \"\"d\"\"\", e,");
    EXPECT_EQ(Lines(parsed), (std::vector<std::string>{"a", "b", "c \"d\"", "e", ""}));

    parsed.SetDelimiter(';');
    parsed.SetQuoteChar('\'');
    parsed.SetDelimitedText("x;'y;z';w");
    EXPECT_EQ(Lines(parsed), (std::vector<std::string>{"x", "y;z", "w"}));
    EXPECT_EQ(parsed.DelimitedText(), "x;'y;z';w");
    EXPECT_EQ(parsed.CommaText(), "x,y;z,w");
}

TEST(StringListTest, StreamsCarry1251Bytes) {
    TStringList list;
    list.Add(A(u8"Опись №1"));
    list.Add("line two");
    TMemoryStream stream;
    list.SaveToStream(&stream);
    const AnsiString expected = A(u8"Опись №1") + "\r\nline two\r\n";
    ASSERT_EQ(stream.Size(), static_cast<int64_t>(expected.size()));
    EXPECT_EQ(AnsiString(static_cast<const char*>(stream.Memory()), expected.size()), expected);

    TStringList back;
    stream.SetPosition(0);
    back.LoadFromStream(&stream);
    EXPECT_TRUE(back.Equals(&list));

    TStringList copy;
    copy.SetDelimiter(';');
    copy.Assign(&list);
    EXPECT_TRUE(copy.Equals(&list));
    EXPECT_EQ(copy.Delimiter(), ',');
}

TEST(StringListTest, CustomSortObjectsAndIndexErrors) {
    TStringList list;
    TStringList marker;
    list.AddObject("10", &marker);
    list.Add("9");
    list.Add("100");
    list.CustomSort([](TStringList* l, int a, int b) { return std::stoi(l->Strings(a)) - std::stoi(l->Strings(b)); });
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"9", "10", "100"}));
    EXPECT_EQ(list.Objects(1), &marker);
    EXPECT_EQ(list.IndexOfObject(&marker), 1);
    list.Move(1, 2);
    EXPECT_EQ(list.Objects(2), &marker);
    list.Exchange(0, 2);
    EXPECT_EQ(list.Objects(0), &marker);

    for (int bad : {-1, 3}) {
        try {
            list.Strings(bad);
            ADD_FAILURE() << bad;
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
        }
    }
    EXPECT_THROW(list.Insert(4, "x"), EStringListError);
    EXPECT_THROW(list.SetObjects(3, nullptr), EStringListError);
}

// ---------------------------------------------------------------------------------------------
// TCollection

namespace {

class TColumn : public TCollectionItem {
    RTL_CLASS(TColumn, TCollectionItem)
public:
    explicit TColumn(TCollection* Collection) : TCollectionItem(Collection) {}
    AnsiString Title;
    void SetTitle(const AnsiString& Value) {
        Title = Value;
        Changed(false);
    }
    AnsiString DisplayName() const override { return Title; }

protected:
    void AssignTo(TPersistent* Dest) override {
        if (auto* d = dynamic_cast<TColumn*>(Dest)) {
            d->Title = Title;
            return;
        }
        TCollectionItem::AssignTo(Dest);
    }
};

class TColumns : public TCollection {
    RTL_CLASS(TColumns, TCollection)
public:
    TColumns() : TCollection(TColumn::StaticClass()) {}
    TColumn* Column(int i) const { return static_cast<TColumn*>(Items(i)); }
    std::vector<std::string> Titles() const {
        std::vector<std::string> out;
        for (int i = 0; i < Count(); ++i) out.push_back(Column(i)->Title);
        return out;
    }
    std::vector<std::string> log;

protected:
    void Update(TCollectionItem* Item) override {
        log.push_back(Item ? "update " + static_cast<TColumn*>(Item)->Title : "update all");
    }
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override {
        const char* names[] = {"added", "extracting", "deleting"};
        log.push_back(std::string(names[static_cast<int>(Action)]) + " " + std::to_string(Item->ID()));
    }
};

TColumn* AddColumn(TColumns& c, const char* title) {
    auto* col = static_cast<TColumn*>(c.Add());
    col->Title = title;
    return col;
}

}  // namespace

TEST(CollectionTest, ItemsMoveKeepTheirIdsAndTellTheCollection) {
    TColumns cols;
    TColumn* a = AddColumn(cols, "A");
    AddColumn(cols, "B");
    TColumn* c = AddColumn(cols, "C");
    EXPECT_EQ(cols.log,
              (std::vector<std::string>{"added 0", "update all", "added 1", "update all", "added 2", "update all"}));
    EXPECT_STREQ(a->ClassName(), "TColumn");

    cols.log.clear();
    c->SetIndex(0);
    EXPECT_EQ(cols.Titles(), (std::vector<std::string>{"C", "A", "B"}));
    EXPECT_EQ(c->Index(), 0);
    EXPECT_EQ(c->ID(), 2);
    EXPECT_EQ(cols.log, (std::vector<std::string>{"update all"}));
    a->SetIndex(2);
    EXPECT_EQ(cols.Titles(), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_THROW(a->SetIndex(3), EListError);
    EXPECT_EQ(cols.Titles(), (std::vector<std::string>{"C", "B", "A"}));

    TColumn* d = static_cast<TColumn*>(cols.Insert(1));
    d->Title = "D";
    EXPECT_EQ(cols.Titles(), (std::vector<std::string>{"C", "D", "B", "A"}));
    EXPECT_EQ(d->ID(), 3);
    EXPECT_EQ(cols.FindItemID(3), d);
    EXPECT_EQ(cols.FindItemID(9), nullptr);

    cols.log.clear();
    cols.Delete(1);
    EXPECT_EQ(cols.log, (std::vector<std::string>{"deleting 3", "extracting 3", "update all"}));
    EXPECT_EQ(cols.IndexOf(a), 2);
    try {
        cols.Items(3);
        FAIL() << "no error";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (3)");
    }
}

TEST(CollectionTest, UpdateBracketAndAssign) {
    TColumns cols;
    cols.BeginUpdate();
    AddColumn(cols, "X");
    AddColumn(cols, "Y")->SetTitle("Y2");
    EXPECT_EQ(cols.log, (std::vector<std::string>{"added 0", "added 1"}));
    cols.EndUpdate();
    EXPECT_EQ(cols.log.back(), "update all");
    cols.log.clear();
    cols.Column(0)->SetTitle("X2");
    EXPECT_EQ(cols.log, (std::vector<std::string>{"update X2"}));

    TColumns copy;
    AddColumn(copy, "old");
    copy.log.clear();
    copy.Assign(&cols);
    EXPECT_EQ(copy.Titles(), (std::vector<std::string>{"X2", "Y2"}));
    // One update at the end of the whole assignment.
    EXPECT_EQ(std::count(copy.log.begin(), copy.log.end(), "update all"), 1);

    cols.Clear();
    EXPECT_EQ(cols.Count(), 0);
    // Moving an item into a collection of another item class is refused.
    TCollection plain(TCollectionItem::StaticClass());
    TCollectionItem* generic = plain.Add();
    EXPECT_THROW(generic->SetCollection(&cols), EListError);
    EXPECT_EQ(generic->Collection(), &plain);
    copy.Column(0)->SetCollection(&plain);  // a TColumn is a TCollectionItem
    EXPECT_EQ(plain.Count(), 2);
    EXPECT_EQ(copy.Count(), 1);
}

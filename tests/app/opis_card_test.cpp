// The inventory card on the fixture's database: required checks, every way of closing it, its
// combos' texts and keys, the NTD row, the file buttons; and the inventories frame's add, double
// click and delete.

#include <fstream>

#include "app/Main.h"
#include "card_fixture.h"

namespace apptest {
namespace {

const std::string Missing = U(u8"Заполните, пожалуйста, следующие поля: ");

class OpisCardTest : public CardFixture {
public:
    void SetUp() override {
        CardFixture::SetUp();
        LogInAs(1, u8"Администратор", alAdministrator);
        OpenJournal();
    }
    TOpisForm* Card() { return OpisForm; }
    VUdeVizov* Q() { return DBMod->zOpisi.get(); }
    // A new inventory with what the card requires, or less.
    void NewComplete() {
        DBMod->SetKind(1);
        DBMod->NewOpis(1, 0);
        Q()->FieldByName("source_id")->SetAsInteger(1);
        Q()->FieldByName("units_count")->SetAsInteger(3);
        Q()->FieldByName("year_from")->SetAsInteger(1990);
        Q()->FieldByName("year_to")->SetAsInteger(1995);
        Q()->FieldByName("num_from")->SetAsString("1");
        Q()->FieldByName("num_to")->SetAsInteger(3);
    }
    void Locate(int Id) { ASSERT_TRUE(Q()->Locate(u"id", rtl::Variant(Id), {})); }
};

// Values left empty name their labels in order; protocol fields count only once a result is set.
TEST_F(OpisCardTest, RequiredChecks) {
    struct Case {
        const char* Name;
        std::function<void(VUdeVizov*)> Change;
        const char8_t* Labels;  // nullptr: saved
    } cases[] = {
        {"complete", [](VUdeVizov*) {}, nullptr},
        {"bare new row",
         [](VUdeVizov* q) {
             for (const char* f : {"source_id", "units_count", "year_to", "num_from", "kind_id"})
                 q->FieldByName(f)->Clear();
         },
         u8"Источник вельмората, Вид описи, Кол-во дел, Крайние годы, Номера дел"},
        {"no date", [](VUdeVizov* q) { q->FieldByName("reg_date")->Clear(); }, u8"Дата рег."},
        {"one number", [](VUdeVizov* q) { q->FieldByName("num_to")->Clear(); }, u8"Номера дел"},
        {"result without protocol", [](VUdeVizov* q) { q->FieldByName("result_id")->SetAsInteger(2); },
         u8"Протокол  №, Дата протокола"},
        {"result with protocol",
         [](VUdeVizov* q) {
             q->FieldByName("result_id")->SetAsInteger(1);
             q->FieldByName("epmk_num")->SetAsString("7");
             q->FieldByName("epmk_date")->SetAsDateTime(TodayDate);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Messages.clear();
        const std::string before = Sql("SELECT count(*) FROM opisi");
        NewComplete();
        c.Change(Q());
        std::vector<std::function<void()>> steps = {[this] { Click(Card()->btnSave); }};
        if (c.Labels) steps.push_back([this] { Click(Card()->btnCancel); });
        const int result = RunModal(Card(), steps);
        EXPECT_EQ(result, c.Labels ? ui::mrCancel : ui::mrOk);
        if (c.Labels) {
            ASSERT_EQ(Messages.size(), 1u);
            EXPECT_EQ(Messages[0].Text, Missing + U(c.Labels));
            EXPECT_EQ(Messages[0].Caption, U(u8"Не заполнены обязательные поля"));
            EXPECT_EQ(Messages[0].Flags & 0xF0, ui::MB_ICONINFORMATION);
            EXPECT_EQ(Sql("SELECT count(*) FROM opisi"), before);
        } else {
            EXPECT_TRUE(Messages.empty());
            EXPECT_EQ(std::stoi(Sql("SELECT count(*) FROM opisi")), std::stoi(before) + 1);
        }
    }
}

// Only "Сохранить" saves; every other way out cancels the card's edits, and the next new row posts
// nothing of them. A post that fails keeps the card open with its edits.
TEST_F(OpisCardTest, ClosingRule) {
    Raw(u8"CREATE TABLE refuse (on_ INTEGER); INSERT INTO refuse VALUES (0);"
        "CREATE TRIGGER no_insert BEFORE INSERT ON opisi WHEN (SELECT on_ FROM refuse) = 1 "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    struct Case {
        const char* Name;
        std::vector<std::function<void()>> Steps;
        int Result;
        int Added;
    };
    const Case cases[] = {
        {"Сохранить", {[this] { Click(Card()->btnSave); }}, ui::mrOk, 1},
        {"Закрыть", {[this] { Click(Card()->btnCancel); }}, ui::mrCancel, 0},
        {"Esc", {[] { Key(ui::VK_ESCAPE); }}, ui::mrCancel, 0},
        {"close box", {[this] { ui::PostMessage(Card()->Handle(), ui::WM_CLOSE); }}, ui::mrCancel, 0},
        {"a post that fails",
         {[this] {
              Raw(u8"UPDATE refuse SET on_ = 1;");
              Click(Card()->btnSave);
          },
          [this] {
              EXPECT_TRUE(Card()->Visible()) << "the card stays open";
              EXPECT_EQ(Q()->State(), db::dsInsert) << "with its edits";
              EXPECT_EQ(Q()->FieldByName("units_count")->AsInteger(), 3);
              Raw(u8"UPDATE refuse SET on_ = 0;");
              EXPECT_EQ(ui::GetCapture(), ui::HWND{}) << "the next click goes where the user clicks";
              Click(Card()->btnCancel);
          }},
         ui::mrCancel,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Messages.clear();
        const int before = std::stoi(Sql("SELECT count(*) FROM opisi"));
        NewComplete();
        EXPECT_EQ(RunModal(Card(), c.Steps), c.Result);
        EXPECT_EQ(Q()->State(), db::dsBrowse);
        EXPECT_EQ(std::stoi(Sql("SELECT count(*) FROM opisi")), before + c.Added);
        // The next new row starts clean: appending posts nothing left behind.
        DBMod->NewOpis(1, 0);
        Q()->Cancel();
        EXPECT_EQ(std::stoi(Sql("SELECT count(*) FROM opisi")), before + c.Added);
    }
    // The failed post's error was shown, once.
    ASSERT_FALSE(Messages.empty());
}

// Editing a saved inventory and closing it without saving leaves the stored row as it was.
TEST_F(OpisCardTest, EditsOfASavedRowAreCancelled) {
    Locate(1);
    RunModal(Card(), {[this] { TypeInto(Card(), "edUnitsCount", "42"); },
                      [] { ui::PostMessage(OpisForm->Handle(), ui::WM_CLOSE); }});
    EXPECT_EQ(Sql("SELECT units_count FROM opisi WHERE id = 1"), "10");
    RunModal(Card(), {[this] { TypeInto(Card(), "edUnitsCount", "42"); }, [this] { Click(Card()->btnSave); }});
    EXPECT_EQ(Sql("SELECT units_count FROM opisi WHERE id = 1"), "42");
}

// Each combo's items against the codes stored.
TEST_F(OpisCardTest, CombosMapTextsToKeys) {
    struct Case {
        editors::TDBComboBoxEh* Combo;
        const char* Field;
        std::vector<std::pair<const char8_t*, int>> Items;
    };
    const Case cases[] = {
        {Card()->cbPlan,
         "plan",
         {{u8"1 квартал", 101},
          {u8"  январь", 1},
          {u8"  март", 3},
          {u8"2 квартал", 102},
          {u8"  июнь", 6},
          {u8"3 квартал", 103},
          {u8"  сентябрь", 9},
          {u8"4 квартал", 104},
          {u8"  октябрь", 10},
          {u8"  декабрь", 12}}},
        {Card()->cbOpisKind,
         "kind_id",
         {{u8"постоянного хранения", 1},
          {u8"личные дела уволенных", 3},
          {u8"кино-", 4},
          {u8"НТД", 8},
          {u8"коллекции", 10},
          {u8"ПМХ", 12}}},
        {Card()->cbResult, "result_id", {{u8"утверждена", 1}, {u8"отравлена на доработку", 2}}},
    };
    EXPECT_EQ(Card()->cbPlan->Items()->Count(), 16);
    EXPECT_EQ(Card()->cbOpisKind->Items()->Count(), 12);
    EXPECT_EQ(Card()->cbOpisKind->DropDownBox()->Rows, 8);
    Locate(1);
    Q()->Edit();
    for (const Case& c : cases) {
        for (const auto& [text, key] : c.Items) {
            SCOPED_TRACE(U(text));
            // Stored code to text.
            Q()->FieldByName(c.Field)->SetAsInteger(key);
            EXPECT_EQ(c.Combo->Text(), A(text));
            // Text chosen to stored code.
            Q()->FieldByName(c.Field)->Clear();
            c.Combo->SetItemIndex(c.Combo->Items()->IndexOf(A(text)));
            EXPECT_EQ(Q()->FieldByName(c.Field)->AsInteger(), key);
        }
    }
    Q()->Cancel();
}

// "Вид НТД" shows for the kind "НТД" only: on showing a saved NTD inventory and on a change.
TEST_F(OpisCardTest, NtdRowFollowsTheKind) {
    Locate(2);
    RunModal(Card(), {[this] {
                 EXPECT_TRUE(Card()->cbNTDKind->Visible());
                 EXPECT_TRUE(Card()->lblNTDKind->Visible());
                 Card()->cbOpisKind->SetItemIndex(0);
                 EXPECT_FALSE(Card()->cbNTDKind->Visible());
                 EXPECT_FALSE(Card()->lblNTDKind->Visible());
                 Card()->cbOpisKind->SetItemIndex(7);
                 EXPECT_TRUE(Card()->cbNTDKind->Visible());
                 Click(Card()->btnCancel);
             }});
    Locate(1);
    RunModal(Card(), {[this] {
                 EXPECT_FALSE(Card()->cbNTDKind->Visible());
                 Click(Card()->btnCancel);
             }});
}

// Attach, open, a missing copy, detach answered No and Yes; files go only with a save, and a card
// closed without saving takes back what it attached.
TEST_F(OpisCardTest, FileButtons) {
    const std::string picked = (Dir / U(u8"акт.pdf")).string();
    std::ofstream(picked) << "pdf";
    Locate(1);
    const auto caption = [this] { return rtl::AnsiToUTF8(Card()->btnFile->Caption()); };
    // Attached, then the card closed: the files row and the copy go again.
    Scripted.Picks.push_back(picked);
    RunModal(Card(), {[&] {
                          EXPECT_EQ(caption(), U(u8"Прикрепить файл"));
                          EXPECT_FALSE(Card()->btnDetachFile->Visible());
                          Click(Card()->btnFile);
                      },
                      [&] {
                          EXPECT_EQ(caption(), U(u8"Открыть файл"));
                          EXPECT_TRUE(Card()->btnDetachFile->Visible());
                          EXPECT_EQ(Sql("SELECT count(*) FROM files"), "1");
                          EXPECT_EQ(Sql("SELECT file_id FROM opisi WHERE id = 1"), "NULL") << "nothing posted";
                          Click(Card()->btnCancel);
                      }});
    EXPECT_EQ(Sql("SELECT count(*) FROM files"), "0");
    EXPECT_TRUE(std::filesystem::is_empty(FilesDir));
    // Attached and saved; opened: the copy goes to the opener.
    Scripted.Picks.push_back(picked);
    RunModal(Card(), {[&] { Click(Card()->btnFile); }, [&] { Click(Card()->btnSave); }});
    const std::string id = Sql("SELECT file_id FROM opisi WHERE id = 1");
    const std::string copy = FilesDir + id + ".pdf";
    EXPECT_EQ(Sql("SELECT file_name FROM files WHERE id = " + id), U(u8"акт.pdf"));
    ASSERT_TRUE(std::filesystem::exists(copy));
    Messages.clear();
    RunModal(Card(), {[&] {
                          EXPECT_EQ(caption(), U(u8"Открыть файл"));
                          Click(Card()->btnFile);
                      },
                      [&] {
                          EXPECT_EQ(Scripted.Opened, std::vector<std::string>{copy});
                          std::filesystem::rename(copy, copy + ".moved");
                          Click(Card()->btnFile);
                      },
                      [&] {
                          ASSERT_EQ(Messages.size(), 1u);
                          EXPECT_EQ(Messages[0].Text,
                                    U(u8"Файл не обнаружен. Возможно он был удален или переименован."));
                          EXPECT_EQ(Messages[0].Caption, U(u8"Файл отсутствует"));
                          EXPECT_EQ(Messages[0].Flags & 0xF0, ui::MB_ICONERROR);
                          EXPECT_EQ(Scripted.Opened.size(), 1u) << "no opener for a missing copy";
                          std::filesystem::rename(copy + ".moved", copy);
                          Click(Card()->btnCancel);
                      }});
    // Detach: No keeps it; Yes detaches in the card only; closing keeps the file; saving removes it.
    Messages.clear();
    Answers = {ui::IDNO, ui::IDYES};
    RunModal(Card(), {[&] { Click(Card()->btnDetachFile); },
                      [&] {
                          EXPECT_EQ(caption(), U(u8"Открыть файл"));
                          Click(Card()->btnDetachFile);
                      },
                      [&] {
                          EXPECT_EQ(caption(), U(u8"Прикрепить файл"));
                          EXPECT_FALSE(Card()->btnDetachFile->Visible());
                          EXPECT_EQ(Sql("SELECT file_id FROM opisi WHERE id = 1"), id) << "nothing posted";
                          ui::PostMessage(Card()->Handle(), ui::WM_CLOSE);
                      }});
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Messages[0].Text, U(u8"Вы действительно хотите удалить файл?"));
    EXPECT_EQ(Messages[0].Caption, U(u8"Пожалуйста, подтвердите удаление файла"));
    EXPECT_EQ(Messages[0].Flags, ui::MB_YESNO | ui::MB_ICONWARNING);
    EXPECT_EQ(Sql("SELECT file_id FROM opisi WHERE id = 1"), id);
    EXPECT_TRUE(std::filesystem::exists(copy));
    Answers = {ui::IDYES};
    RunModal(Card(), {[&] { Click(Card()->btnDetachFile); }, [&] { Click(Card()->btnSave); }});
    EXPECT_EQ(Sql("SELECT file_id FROM opisi WHERE id = 1"), "0");
    EXPECT_EQ(Sql("SELECT count(*) FROM files"), "0");
    EXPECT_FALSE(std::filesystem::exists(copy));
}

// A detach on a new inventory posts nothing: the card's check still guards its row.
TEST_F(OpisCardTest, DetachOnANewRowPostsNothing) {
    const std::string picked = (Dir / "a.txt").string();
    std::ofstream(picked) << "a";
    const std::string before = Sql("SELECT count(*) FROM opisi");
    DBMod->NewOpis(1, 0);
    Scripted.Picks.push_back(picked);
    Answers = {ui::IDYES};
    RunModal(Card(), {[this] { Click(Card()->btnFile); }, [this] { Click(Card()->btnDetachFile); },
                      [this] {
                          EXPECT_EQ(Q()->State(), db::dsInsert);
                          Click(Card()->btnCancel);
                      }});
    EXPECT_EQ(Sql("SELECT count(*) FROM opisi"), before);
    EXPECT_EQ(Sql("SELECT count(*) FROM files"), "0");
}

// The inventories frame in the main window: add, double click, delete.
class OpisFrameTest : public OpisCardTest {
public:
    void SetUp() override {
        OpisCardTest::SetUp();
        MainForm->OnShow = nullptr;
        MainForm->Show();
        MainForm->actOpisi->Execute();
        ui::Application()->ProcessMessages();
    }
    TOpisListFrame* Frame() { return MainForm->OpisListFrame1; }
    // A click handled before it returns (a card it opens runs the script meanwhile).
    static void ClickNow(ui::TControl* Control) {
        Click(Control);
        ui::Application()->ProcessMessages();
    }
    std::string CountPanel() { return rtl::AnsiToUTF8(MainForm->sbStatus->Panels()->Items(1)->Text()); }
};

TEST_F(OpisFrameTest, AddOpensTheCardAndCountsTheSavedRow) {
    EXPECT_EQ(CountPanel(), U(u8"Кол-во записей: 2"));
    // On the kind tab "Личные дела" the new row takes that kind, today's date, and no source.
    Frame()->tcKinds->SetTabIndex(3);
    Frame()->tcKindsChange(Frame()->tcKinds);
    EXPECT_EQ(CountPanel(), U(u8"Кол-во записей: 0"));
    Drive([this] { ClickNow(Frame()->btnAdd); }, {[this] {
                                                      EXPECT_TRUE(Card()->Visible());
                                                      EXPECT_EQ(Q()->State(), db::dsInsert);
                                                      EXPECT_EQ(Q()->FieldByName("kind_id")->AsInteger(), 3);
                                                      EXPECT_EQ(Q()->FieldByName("reg_date")->AsDateTime(), TodayDate);
                                                      EXPECT_TRUE(Q()->FieldByName("source_id")->IsNull());
                                                      Card()->cbSource->SetKeyValue(rtl::Variant(2));
                                                      TypeInto(Card(), "edUnitsCount", "5");
                                                      TypeInto(Card(), "edYearFrom", "1980");
                                                      TypeInto(Card(), "edYearTo", "1981");
                                                      TypeInto(Card(), "edNumFrom", "1");
                                                      TypeInto(Card(), "edNumTo", "5");
                                                  },
                                                  [this] { Click(Card()->btnSave); }});
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{});
    EXPECT_EQ(CountPanel(), U(u8"Кол-во записей: 1"));
    // The first of its kind this year: number 1, the year of its date.
    EXPECT_EQ(Sql("SELECT num || '/' || year_of || '/' || source_id FROM opisi WHERE kind_id = 3"),
              "1/" + std::to_string(ThisYear) + "/2");
    // Added and closed: nothing saved, the count as it was.
    MainForm->sbStatus->Panels()->Items(1)->SetText("");
    Drive([this] { ClickNow(Frame()->btnAdd); }, {[this] { Click(Card()->btnCancel); }});
    EXPECT_EQ(CountPanel(), "");
    EXPECT_EQ(Sql("SELECT count(*) FROM opisi"), "3");
}

TEST_F(OpisFrameTest, DoubleClickOpensTheRowsCard) {
    Locate(2);
    ui::TControl* g = Frame()->grOpisi;
    const ui::TRect r = Frame()->grOpisi->SingleCellRect(Frame()->grOpisi->DataToGridCol(1), 2);
    const ui::TPoint p = g->ClientToScreen(ui::Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    Drive(
        [&] {
            ui::ResetDoubleClick();
            ui::MouseInput(ui::WM_LBUTTONDOWN, p);
            ui::MouseInput(ui::WM_LBUTTONUP, p);
            ui::MouseInput(ui::WM_LBUTTONDBLCLK, p);
            ui::MouseInput(ui::WM_LBUTTONUP, p);
            ui::Application()->ProcessMessages();
        },
        {[this] {
            EXPECT_TRUE(Card()->Visible());
            EXPECT_EQ(Q()->FieldByName("id")->AsInteger(), 2);
            EXPECT_EQ(Card()->edUnitsCount->Text(), "20");
            Click(Card()->btnCancel);
        }});
}

TEST_F(OpisFrameTest, DeleteAsksFirst) {
    Locate(2);
    Answers = {ui::IDNO, ui::IDYES};
    ClickNow(Frame()->btnDelete);
    EXPECT_EQ(Sql("SELECT count(*) FROM opisi"), "2");
    ClickNow(Frame()->btnDelete);
    EXPECT_EQ(Sql("SELECT group_concat(id) FROM opisi"), "1");
    ASSERT_EQ(Messages.size(), 2u);
    for (const auto& m : Messages) {
        EXPECT_EQ(m.Text, U(u8"Действительно удалить запись?"));
        EXPECT_EQ(m.Caption, U(u8"Внимание! Удаление записи"));
        EXPECT_EQ(m.Flags, ui::MB_YESNO | ui::MB_ICONWARNING);
    }
    EXPECT_EQ(CountPanel(), U(u8"Кол-во записей: 1"));
}

}  // namespace
}  // namespace apptest

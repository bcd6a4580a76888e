// Export, import and the clipboard commands of the data grid, on memory datasets: the bytes of
// every format, the readers' mapping into fields, hostile streams, and the confirmations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "controls/grid/DBGridEhImpExp.h"
#include "framework/ui/Dialogs.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

using std::string;

string Bytes(rtl::TStream* S) {
    string r(static_cast<size_t>(S->Size()), '\0');
    S->SetPosition(0);
    if (!r.empty()) S->ReadBuffer(r.data(), static_cast<int64_t>(r.size()));
    return r;
}

string Wide(const string& Ansi) {
    string r;
    for (char16_t c : rtl::AnsiToWide(Ansi)) {
        r += static_cast<char>(c & 0xFF);
        r += static_cast<char>(c >> 8);
    }
    return r;
}

string Int32(int32_t V) {
    string r(4, '\0');
    std::memcpy(r.data(), &V, 4);
    return r;
}

string Dbl(double V) {
    string r(8, '\0');
    std::memcpy(r.data(), &V, 8);
    return r;
}

// The text with its terminator.
string Z(const string& S) { return S + '\0'; }

string ClipData(ui::TClipboardFormat F) {
    const rtl::TBytes b = ui::Clipboard()->GetData(F);
    return string(b.begin(), b.end());
}

void SetClip(ui::TClipboardFormat F, const string& Data) {
    ui::Clipboard()->Clear();
    ui::Clipboard()->SetData(F, rtl::TBytes(Data.begin(), Data.end()));
}

// The message boxes shown, answered from a script (the last answer repeats).
struct TBoxScript {
    explicit TBoxScript(std::vector<int> Answers) : FAnswers(std::move(Answers)) {
        ui::Application()->MessageBoxHandler = [this](const AnsiString& Text, const AnsiString&, unsigned Flags) {
            Texts.push_back(Text);
            LastFlags = Flags;
            const size_t i = std::min(Texts.size() - 1, FAnswers.size() - 1);
            return FAnswers[i];
        };
    }
    ~TBoxScript() { ui::Application()->MessageBoxHandler = nullptr; }
    std::vector<AnsiString> Texts;
    unsigned LastFlags = 0;

private:
    std::vector<int> FAnswers;
};

// A grid over two rows of cells: text a, text b, float x, memo m.
class ImpExpTest : public DBGridTest {
protected:
    ImpExpTest()
        : Cells({{u"a", store::mdtString, 21, 20},
                 {u"b", store::mdtString, 21, 20},
                 {u"x", store::mdtFloat, 8},
                 {u"m", store::mdtMemo, sizeof(void*)}},
                {{Variant("a"), Variant("b"), Variant(0.1), Variant::Null()},
                 {Variant("c"), Variant("d"), Variant(0.2), Variant::Null()}}) {}

    void SetUp() override {
        DBGridTest::SetUp();
        Cells.DS->Open();
        CellSrc = rtl::Create<db::TDataSource>(Form);
        CellSrc->SetDataSet(Cells.DS.get());
        ui::Clipboard()->Clear();
    }
    void TearDown() override {
        ExportFooterSource = DefaultExportFooter;
        DBGridTest::TearDown();
    }
    // The cell grid with columns on the named fields, titles off.
    void BindCells(std::initializer_list<const char16_t*> Names) {
        for (const char16_t* n : Names) Grid->Columns()->Add()->SetFieldName(n);
        Grid->SetOptions(Grid->Options() - TDBGridOptions{dgTitles});
        Grid->SetDataSource(CellSrc);
    }
    string Export(const rtl::ClassRef& Class, bool All = true) {
        rtl::TOwnedPtr<rtl::TMemoryStream> s(rtl::Create<rtl::TMemoryStream>());
        ExportGridToStream(Class, Grid, s.get(), All);
        return Bytes(s.get());
    }
    void Import(const rtl::ClassRef& Class, const string& Data, bool All = false) {
        rtl::TOwnedPtr<rtl::TMemoryStream> s(rtl::Create<rtl::TMemoryStream>());
        if (!Data.empty()) s->WriteBuffer(Data.data(), static_cast<int64_t>(Data.size()));
        s->SetPosition(0);
        ImportGridFromStream(Class, Grid, s.get(), All);
    }
    std::vector<Variant> Values(memdstest::TFixture& Fx, const char* Field) {
        std::vector<Variant> r;
        db::TDataSet* ds = Fx.DS.get();
        const db::TBookmark bm = ds->Bookmark();
        for (ds->First(); !ds->Eof(); ds->Next()) r.push_back(Fx.F(Field)->Value());
        ds->SetBookmark(bm);
        return r;
    }
    db::TField* CF(const char* Name) { return Cells.F(Name); }

    memdstest::TFixture Cells;
    db::TDataSource* CellSrc = nullptr;
};

string VclHeader(int Cols) {
    string r = string("VCLDBIF") + '\x01' + Int32(Cols);
    for (int i = 0; i < Cols; ++i) r += string("\x01\x00", 2);
    return r;
}

string Tag5(const string& S) { return '\x05' + Int32(static_cast<int32_t>(S.size())) + S; }

// ---------------------------------------------------------------------------------------------
// Writers

TEST_F(ImpExpTest, WritersGiveTheirBytes) {
    BindCells({u"a", u"b"});
    EXPECT_EQ(Export(TDBGridEhExportAsText::StaticClass()), "a\tb\r\nc\td");
    EXPECT_EQ(Export(TDBGridEhExportAsUnicodeText::StaticClass()), Wide("a\tb\r\nc\td"));
    EXPECT_EQ(Export(TDBGridEhExportAsCSV::StaticClass()), "\"a\";\"b\"\r\n\"c\";\"d\"");
    EXPECT_EQ(Export(TDBGridEhExportAsVCLDBIF::StaticClass()),
              VclHeader(2) + Tag5("a") + Tag5("b") + Tag5("c") + Tag5("d") + string(1, '\0'));
    // With titles the captions lead, and the writers still start without a line break.
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgTitles});
    EXPECT_EQ(Export(TDBGridEhExportAsText::StaticClass()), "a\tb\r\na\tb\r\nc\td");
    EXPECT_EQ(Export(TDBGridEhExportAsCSV::StaticClass()), "\"a\";\"b\"\r\n\"a\";\"b\"\r\n\"c\";\"d\"");
    EXPECT_EQ(Export(TDBGridEhExportAsVCLDBIF::StaticClass()).substr(0, 14), VclHeader(2).substr(0, 14));
}

TEST_F(ImpExpTest, CsvQuotesNumbersAndDoublesQuotes) {
    BindCells({u"a", u"x"});
    Cells.DS->Edit();
    CF("a")->SetAsString("say \"hi\"");
    Cells.DS->Post();
    EXPECT_EQ(Export(TDBGridEhExportAsCSV::StaticClass()), "\"say \"\"hi\"\"\";\"0,1\"\r\n\"c\";\"0,2\"");
}

TEST_F(ImpExpTest, VclDbIfTagsByFieldType) {
    Bind({u"id", u"name", u"born", u"cid", u"city"});
    const double born = rtl::EncodeDate(1990, 3, 4);
    const string name = Cyr("Анна");
    const string expected = string("VCLDBIF") + '\x01' + Int32(5) +
                            string("\x01\x00\x01\x00\x01\x00\x01\x00\x01\x00", 10) + '\x03' + Int32(10) + Tag5(name) +
                            '\x04' + Dbl(born) + '\x03' + Int32(2) + '\x07' + Int32(2) + Wide("2") + string(1, '\0');
    // The first record alone, as a record selection.
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    EXPECT_EQ(Export(TDBGridEhExportAsVCLDBIF::StaticClass(), false), expected);
    // Nulls are tag 2; the lookup column carries its key text even when the key is null.
    Grid->Selection()->Clear();
    People.DS->Last();
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    const string last = Export(TDBGridEhExportAsVCLDBIF::StaticClass(), false);
    EXPECT_EQ(last.substr(22), '\x03' + Int32(30) + '\x02' + '\x04' + Dbl(rtl::EncodeDate(2001, 12, 31)) + '\x02' +
                                   '\x07' + Int32(4) + Wide("\"\"") + string(1, '\0'));
}

TEST_F(ImpExpTest, CopyWithoutSelectionWritesOnlyTerminators) {
    BindCells({u"a", u"b"});
    GridClipboardCopy(Grid, false);
    EXPECT_EQ(ClipData(ui::CF_TEXT), string(1, '\0'));
    EXPECT_EQ(ClipData(ui::CF_UNICODETEXT), string(2, '\0'));
    EXPECT_EQ(ClipData(CF_CSV()), string(1, '\0'));
    EXPECT_TRUE(ui::Clipboard()->HasFormat(CF_VCLDBIF()));
    EXPECT_EQ(ClipData(CF_VCLDBIF()), "");
}

TEST_F(ImpExpTest, CopyPutsFiveFormatsInOrder) {
    BindCells({u"a", u"b"});
    GridClipboardCopy(Grid, true);
    ui::TClipboard* cb = ui::Clipboard();
    std::vector<ui::TClipboardFormat> formats;
    for (int i = 0; i < cb->FormatCount(); ++i) formats.push_back(cb->Formats(i));
    const std::vector<ui::TClipboardFormat> expected{ui::CF_TEXT, ui::CF_UNICODETEXT, CF_CSV(), CF_RICH_TEXT_FORMAT(),
                                                     CF_VCLDBIF()};
    EXPECT_EQ(formats, expected);
    EXPECT_EQ(ClipData(ui::CF_TEXT), string("a\tb\r\nc\td") + '\0');
    EXPECT_EQ(ClipData(ui::CF_UNICODETEXT), Wide("a\tb\r\nc\td") + string(2, '\0'));
    EXPECT_EQ(ClipData(CF_CSV()), string("\"a\";\"b\"\r\n\"c\";\"d\"") + '\0');
    const string rtf = ClipData(CF_RICH_TEXT_FORMAT());
    EXPECT_EQ(rtf.substr(rtf.size() - 2), string("}") + '\0');
    EXPECT_EQ(ClipData(CF_VCLDBIF()).back(), '\0');
    EXPECT_FALSE(Cells.DS->ControlsDisabled());
}

TEST_F(ImpExpTest, UnicodeTextWritesCyrillicAsUtf16) {
    BindCells({u"a", u"b"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgTitles});
    Col(0)->Title()->SetCaption("\xA8\xE6");  // "Ёж" in the code page
    const std::u16string expected = u"\u0401\u0436\tb\r\na\tb\r\nc\td";
    string bytes;
    for (char16_t c : expected) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    EXPECT_EQ(Export(TDBGridEhExportAsUnicodeText::StaticClass()), bytes);
    GridClipboardCopy(Grid, true);
    EXPECT_EQ(ClipData(ui::CF_UNICODETEXT), bytes + string(2, '\0'));
}

TEST_F(ImpExpTest, RectangleCopySkipsHiddenColumns) {
    BindCells({u"a", u"x", u"b"});
    Col(1)->SetVisible(false);
    db::TDataSet* ds = Cells.DS.get();
    const db::TBookmark first = ds->Bookmark();
    ds->Next();
    Grid->Selection()->Rect()->Select(0, first, false);
    Grid->Selection()->Rect()->Select(2, ds->Bookmark(), true);
    ASSERT_EQ(Grid->SelectionType(), gstRectangle);
    GridClipboardCopy(Grid, false);
    EXPECT_EQ(ClipData(ui::CF_TEXT), string("a\tb\r\nc\td") + '\0');
    // The copy leaves the current record where it was.
    EXPECT_GT(ds->CompareBookmarks(ds->Bookmark(), first), 0);
}

TEST_F(ImpExpTest, FooterSumKeepsFourDecimals) {
    BindCells({u"a", u"x"});
    Grid->SetFooterRowCount(1);
    ExportFooterSource = [](TCustomDBGridEh* G, TColumnEh* C, int R) {
        TExportFooterEh f = DefaultExportFooter(G, C, R);
        if (C->FieldName() == u"x")
            f.Kind = efkSum;
        else
            f.Kind = efkCount;
        return f;
    };
    EXPECT_EQ(Export(TDBGridEhExportAsText::StaticClass()), "a\t0,1\r\nc\t0,2\r\n2\t0,3");
}

TEST_F(ImpExpTest, FooterOverflowRaisesAndLeavesTheGridUsable) {
    BindCells({u"a", u"x"});
    Grid->SetFooterRowCount(1);
    ExportFooterSource = [](TCustomDBGridEh* G, TColumnEh* C, int R) {
        TExportFooterEh f = DefaultExportFooter(G, C, R);
        if (C->FieldName() == u"x") f.Kind = efkSum;
        return f;
    };
    db::TDataSet* ds = Cells.DS.get();
    struct TCase {
        double First, Second;
    };
    // A single value beyond the range, and two that only overflow together.
    for (const TCase& c : {TCase{1e16, 0.0}, TCase{9e14, 9e14}, TCase{-9e14, -9e14}}) {
        SCOPED_TRACE(c.First);
        ds->First();
        ds->Edit();
        CF("x")->SetAsFloat(c.First);
        ds->Post();
        ds->Next();
        ds->Edit();
        CF("x")->SetAsFloat(c.Second);
        ds->Post();
        ds->Last();
        EXPECT_THROW(GridClipboardCopy(Grid, true), rtl::EIntOverflow);
        EXPECT_FALSE(ds->ControlsDisabled());
        EXPECT_EQ(CF("a")->AsString(), "c");
    }
    EXPECT_EQ(FooterAddChecked(INT64_MAX - 1, 1), INT64_MAX);
    EXPECT_THROW(FooterAddChecked(INT64_MIN, -1), rtl::EIntOverflow);
}

TEST_F(ImpExpTest, FailingCopyClosesTheClipboard) {
    BindCells({u"a", u"b"});
    // The RTF writer asks for the cell parameters twice per cell: the fifth call is its own.
    int calls = 0;
    Grid->OnGetCellParams = [&](rtl::TObject*, TColumnEh*, ui::TFont*, ui::TColor&, TGridDrawState) {
        if (++calls == 13) throw rtl::Exception("broken");
    };
    EXPECT_THROW(GridClipboardCopy(Grid, true), rtl::Exception);
    EXPECT_TRUE(ui::Clipboard()->HasFormat(CF_CSV()));
    EXPECT_FALSE(Cells.DS->ControlsDisabled());
    // Closed: a write now replaces the whole content.
    ui::Clipboard()->SetAsText("z");
    EXPECT_FALSE(ui::Clipboard()->HasFormat(CF_CSV()));
}

// ---------------------------------------------------------------------------------------------
// RTF

TEST_F(ImpExpTest, RtfDocumentWithMultiLevelTitles) {
    BindCells({u"a", u"b", u"m"});
    Grid->SetDrawMemoText(true);
    Grid->SetUseMultiTitle(true);
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgTitles});
    Col(0)->Title()->SetCaption("A");
    Col(1)->Title()->SetCaption("B|X");
    Col(2)->Title()->SetCaption("B|Y");
    for (int i = 0; i < 3; ++i) Col(i)->SetWidth(48);
    Cells.DS->Edit();
    CF("a")->SetAsString("\\par {x}");
    CF("b")->SetAsString(Cyr("Ёж"));
    Cells.DS->Post();
    Grid->Selection()->Rect()->Select(0, Cells.DS->Bookmark(), false);
    Grid->Selection()->Rect()->Select(2, Cells.DS->Bookmark(), true);
    ASSERT_EQ(Grid->SelectionType(), gstRectangle);
    const string rtf = Export(TDBGridEhExportAsRTF::StaticClass(), false);
    // Borders: l(eft), t(op), b(ottom), r(ight); a merged cell leaves out the ones inside it.
    auto def = [](const string& Sides, int Color, int Edge) {
        string r;
        for (char c : Sides) r += string("\\clbrdr") + c + "\\brdrs\\brdrcf0\r\n";
        return r + "\\clshdng10000\\clcfpat" + std::to_string(Color) + "\\cellx" + std::to_string(Edge) + "\r\n";
    };
    auto cell = [](const string& Align, const string& Spacing, int Back, const string& Text) {
        return "\\pard\\intbl{\\q" + Align + Spacing + "\\fs16\\f0\\cf0\\cb" + std::to_string(Back) + " " + Text +
               "\\cell}\r\n";
    };
    const string row = "\\trowd\\trgaph40\r\n", cells = "{\\trrh0\r\n", end = "\\pard\\intbl\\row}\r\n";
    const string title = "\\sb55\\sa55", data = "\\sb24\\sa24";
    const string expected =
        "{\\rtf0\\ansi\\ansicpg1251\r\n"
        "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red240\\green240\\blue240;}\r\n"
        "{\\fonttbl\\f0\\fnil Liberation Sans;}\r\n" +
        // A over both title rows, B over X and Y.
        row + def("ltr", 2, 720) + def("ltb", 2, 1440) + def("tbr", 2, 2160) + cells + cell("c", title, 2, "A") +
        cell("c", title, 2, "B") + cell("c", "", 2, "") + end + row + def("lbr", 2, 720) + def("ltbr", 2, 1440) +
        def("ltbr", 2, 2160) + cells + cell("c", "", 2, "") + cell("c", title, 2, "X") + cell("c", title, 2, "Y") +
        end + row + def("ltbr", 1, 720) + def("ltbr", 1, 1440) + def("ltbr", 1, 2160) + cells +
        cell("l", data, 1, "\\\\par \\{x\\}") + cell("l", data, 1, "\\'a8\\'e6") + cell("l", data, 1, "") + end + "}";
    EXPECT_EQ(rtf, expected);
    // The copy command builds the document in its own stream: the same bytes.
    GridClipboardCopy(Grid, false);
    EXPECT_EQ(ClipData(CF_RICH_TEXT_FORMAT()), expected + '\0');
}

// ---------------------------------------------------------------------------------------------
// Text reader

TEST_F(ImpExpTest, TextEmptyCellsAreEmptyTexts) {
    BindCells({u"a", u"m", u"x"});
    Grid->SetDrawMemoText(true);
    struct TCase {
        const char* Name;
        const rtl::ClassRef& Class;
        string Data;
    };
    const TCase cases[] = {
        {"text", TDBGridEhImportAsText::StaticClass(), Z("\t\t")},
        {"unicode", TDBGridEhImportAsUnicodeText::StaticClass(), Wide("\t\t") + string(2, '\0')},
        {"line end", TDBGridEhImportAsText::StaticClass(), Z("\t\t\r\n")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Cells.DS->First();
        Cells.DS->Edit();
        CF("m")->SetAsString("memo");
        Cells.DS->Post();
        Import(c.Class, c.Data);
        Cells.DS->First();
        EXPECT_EQ(CF("a")->AsString(), "");
        EXPECT_EQ(CF("m")->AsString(), "");
        EXPECT_TRUE(CF("x")->IsNull());
        // Nothing reached the second record, and no record was added.
        Cells.DS->Next();
        EXPECT_EQ(CF("a")->AsString(), "c");
        EXPECT_EQ(Cells.DS->RecordCount(), 2);
    }
}

TEST_F(ImpExpTest, TextRowsFillTheFollowingRecordsAndAppendTheRest) {
    BindCells({u"a", u"b"});
    Import(TDBGridEhImportAsText::StaticClass(), Z("p\tq\r\nr\ts\r\nt\tu\r\n"));
    EXPECT_EQ(Values(Cells, "a"), (std::vector<Variant>{Variant("p"), Variant("r"), Variant("t")}));
    EXPECT_EQ(Values(Cells, "b"), (std::vector<Variant>{Variant("q"), Variant("s"), Variant("u")}));
    // Without the append right the rows beyond the data are dropped.
    Grid->SetAllowedOperations(TDBGridEhAllowedOperations{alopInsertEh, alopUpdateEh, alopDeleteEh});
    Cells.DS->First();
    Import(TDBGridEhImportAsText::StaticClass(), Z("1\r\n2\r\n3\r\n4"));
    EXPECT_EQ(Values(Cells, "a"), (std::vector<Variant>{Variant("1"), Variant("2"), Variant("3")}));
}

TEST_F(ImpExpTest, TextWiderAndNarrowerThanTheColumns) {
    BindCells({u"a", u"b"});
    Grid->SetDrawMemoText(true);
    // Three cells into two columns: the third is read and dropped.
    Import(TDBGridEhImportAsText::StaticClass(), Z("1\t2\t3\r\n4\t5\t6"));
    EXPECT_EQ(Values(Cells, "a"), (std::vector<Variant>{Variant("1"), Variant("4")}));
    EXPECT_EQ(Values(Cells, "b"), (std::vector<Variant>{Variant("2"), Variant("5")}));
    EXPECT_EQ(Values(Cells, "x"), (std::vector<Variant>{Variant(0.1), Variant(0.2)}));
    // Three into four: the fourth keeps its value.
    Grid->Columns()->Add()->SetFieldName(u"x");
    Grid->Columns()->Add()->SetFieldName(u"m");
    Cells.DS->First();
    Cells.DS->Edit();
    CF("m")->SetAsString("keep");
    Cells.DS->Post();
    Import(TDBGridEhImportAsText::StaticClass(), Z("7\t8\t9"));
    Cells.DS->First();
    EXPECT_EQ(CF("a")->AsString(), "7");
    EXPECT_EQ(CF("x")->AsFloat(), 9.0);
    EXPECT_EQ(CF("m")->AsString(), "keep");
}

TEST_F(ImpExpTest, TextCarriageReturnWithoutLineFeedIsRefused) {
    BindCells({u"a", u"b"});
    struct TCase {
        const rtl::ClassRef& Class;
        string Data;
        const char* Message;
    };
    const TCase cases[] = {
        {TDBGridEhImportAsText::StaticClass(), Z("x\ry"), "TDBGridEhImportAsText.CheckState: Invalid text format"},
        {TDBGridEhImportAsUnicodeText::StaticClass(), Wide("x\ry") + string(2, '\0'),
         "TDBGridEhImportAsUnicodeText.CheckState: Invalid text format"},
    };
    for (const TCase& c : cases) {
        try {
            Import(c.Class, c.Data);
            ADD_FAILURE() << "no error";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_FALSE(Cells.DS->ControlsDisabled());
    }
}

TEST_F(ImpExpTest, PasteWhileInsertingInsertsEveryRowInOrder) {
    BindCells({u"a", u"b"});
    Cells.DS->First();
    Cells.DS->Insert();
    SetClip(ui::CF_TEXT, Z("n1\tm1\r\nn2\tm2"));
    GridClipboardPaste(Grid, false);
    EXPECT_EQ(Cells.DS->State(), db::dsBrowse);
    EXPECT_EQ(Values(Cells, "a"), (std::vector<Variant>{Variant("n1"), Variant("n2"), Variant("a"), Variant("c")}));
}

TEST_F(ImpExpTest, PasteFillsTheSelection) {
    Bind({u"name", u"flag"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    db::TDataSet* ds = People.DS.get();
    const Variant anna(Cyr("Анна")), boris(Cyr("Борис")), null = Variant::Null();
    struct TCase {
        const char* Name;
        std::function<void()> Select;
        string Data;
        std::vector<Variant> Names, Flags;
    };
    const TCase cases[] = {
        {"records",
         [&] {
             ds->First();
             Grid->SelectedRecords()->SetCurrentRowSelected(true);
             ds->Last();
             Grid->SelectedRecords()->SetCurrentRowSelected(true);
         },
         Z("p\tq\r\nr\ts"),
         {Variant("p"), boris, Variant("r")},
         {Variant("q"), Variant("0"), Variant("s")}},
        {"rectangle",
         [&] {
             ds->First();
             ds->Next();
             Grid->Selection()->Rect()->Select(1, ds->Bookmark(), false);
             ds->Next();
             Grid->Selection()->Rect()->Select(1, ds->Bookmark(), true);
         },
         Z("x\ty\r\nz"),
         {anna, boris, null},
         {Variant("1"), Variant("x"), Variant("z")}},
        // The data ends before the records: the rest keep their values.
        {"columns",
         [&] { Grid->Selection()->Columns()->Select(Col(1), false); },
         Z("a\r\nb"),
         {anna, boris, null},
         {Variant("a"), Variant("b"), null}},
        {"everything",
         [&] { Grid->Selection()->SelectAll(); },
         Z("n1\tf"),
         {Variant("n1"), boris, null},
         {Variant("f"), Variant("0"), null}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ds->Close();
        ds->Open();
        Grid->Selection()->Clear();
        c.Select();
        SetClip(ui::CF_TEXT, c.Data);
        GridClipboardPaste(Grid, false);
        EXPECT_EQ(Values(People, "name"), c.Names);
        EXPECT_EQ(Values(People, "flag"), c.Flags);
        EXPECT_EQ(ds->RecordCount(), 3);
    }
}

TEST_F(ImpExpTest, PasteAllStartsAtTheFirstRecordAndColumn) {
    BindCells({u"a", u"b"});
    Cells.DS->Last();
    Grid->SetCol(Grid->DataToGridCol(1));
    SetClip(ui::CF_TEXT, Z("k\tl"));
    GridClipboardPaste(Grid, true);
    Cells.DS->First();
    EXPECT_EQ(CF("a")->AsString(), "k");
    EXPECT_EQ(CF("b")->AsString(), "l");
}

// ---------------------------------------------------------------------------------------------
// The per-value error dialog

TEST_F(ImpExpTest, ValueErrorsAskYesNoAll) {
    Bind({u"born", u"name"});
    const string bad = "99.99.2000";
    const string data = bad + "\tx1\r\n" + bad + "\tx2\r\n" + bad + "\tx3" + string(1, '\0');
    struct TCase {
        int Answer;
        int Boxes;
        std::vector<Variant> Names;
        bool Aborts;
    };
    const Variant boris(Cyr("Борис"));
    const TCase cases[] = {
        {ui::IDYES, 3, {Variant("x1"), Variant("x2"), Variant("x3")}, false},
        {ui::IDNO, 1, {Variant(Cyr("Анна")), boris, Variant::Null()}, true},
        {ui::IDALL, 1, {Variant("x1"), Variant("x2"), Variant("x3")}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Answer);
        People.DS->Close();
        People.DS->Open();
        TBoxScript boxes({c.Answer});
        SetClip(ui::CF_TEXT, data);
        if (c.Aborts)
            EXPECT_THROW(GridClipboardPaste(Grid, false), rtl::EAbort);
        else
            GridClipboardPaste(Grid, false);
        EXPECT_EQ(boxes.Texts.size(), static_cast<size_t>(c.Boxes));
        EXPECT_EQ(Values(People, "name"), c.Names);
        ASSERT_FALSE(boxes.Texts.empty());
        EXPECT_EQ(boxes.Texts[0], "Error during insert value:\n'" + bad + "' is not a valid date\n\nIgnore error?");
        EXPECT_EQ(boxes.LastFlags & ui::MB_TYPEMASK, ui::MB_YESNOALL);
        EXPECT_FALSE(People.DS->ControlsDisabled());
    }
}

// ---------------------------------------------------------------------------------------------
// VCLDBIF reader

TEST_F(ImpExpTest, VclDbIfRoundTripWithNullsAndNoValues) {
    BindCells({u"a", u"b", u"x"});
    // Tag 1 leaves the field, tag 2 clears it; the third cell goes into a column the target lacks.
    const string data = VclHeader(3) + Tag5("new") + '\x01' + '\x02' + string(1, '\0');
    Import(TDBGridEhImportAsVCLDBIF::StaticClass(), data);
    Cells.DS->First();
    EXPECT_EQ(CF("a")->AsString(), "new");
    EXPECT_EQ(CF("b")->AsString(), "b");
    EXPECT_TRUE(CF("x")->IsNull());
    // Three stored columns into two: the third of each row is read and dropped.
    Grid->Columns()->Items(2)->Free();
    Cells.DS->First();
    Import(TDBGridEhImportAsVCLDBIF::StaticClass(), VclHeader(3) + Tag5("r1") + Tag5("s1") + '\x04' + Dbl(5) +
                                                        Tag5("r2") + Tag5("s2") + '\x04' + Dbl(6) + string(1, '\0'));
    EXPECT_EQ(Values(Cells, "a"), (std::vector<Variant>{Variant("r1"), Variant("r2")}));
    EXPECT_EQ(Values(Cells, "b"), (std::vector<Variant>{Variant("s1"), Variant("s2")}));
    EXPECT_EQ(Cells.DS->RecordCount(), 2);
}

TEST_F(ImpExpTest, VclDbIfCopyPasteAcrossRecords) {
    BindCells({u"a", u"x"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    GridClipboardCopy(Grid, false);
    Grid->Selection()->Clear();
    Cells.DS->Last();
    GridClipboardPaste(Grid, false);
    EXPECT_EQ(Values(Cells, "a"), (std::vector<Variant>{Variant("a"), Variant("a")}));
    EXPECT_EQ(Values(Cells, "x"), (std::vector<Variant>{Variant(0.1), Variant(0.1)}));
}

TEST_F(ImpExpTest, VclDbIfHostileStreamsAreRefused) {
    BindCells({u"a", u"b"});
    struct TCase {
        const char* Name;
        string Data;
    };
    const TCase cases[] = {
        {"signature", "VCLDBIX" + string(1, '\x01') + Int32(1) + string("\x01\x00", 2) + Tag5("z") + string(1, '\0')},
        {"short header", string("VCLDBIF\x01", 8)},
        {"negative length", VclHeader(1) + '\x05' + Int32(-5) + "zzzzz" + string(1, '\0')},
        {"length past the end", VclHeader(1) + '\x05' + Int32(1000) + "z" + string(1, '\0')},
        {"odd wide length", VclHeader(1) + '\x07' + Int32(3) + "zzz" + string(1, '\0')},
        {"huge column count", string("VCLDBIF\x01", 8) + Int32(0x7FFFFFFF) + string("\x01\x00", 2)},
        {"negative column count", string("VCLDBIF\x01", 8) + Int32(-1) + Tag5("z") + string(1, '\0')},
        {"no columns, no trailer", string("VCLDBIF\x01", 8) + Int32(0) + Tag5("z")},
        {"missing descriptor", string("VCLDBIF\x01", 8) + Int32(1) + string(1, '\x01')},
        {"short payload", VclHeader(1) + '\x04' + string(3, 'z')},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        for (bool inserting : {false, true}) {
            Cells.DS->Last();
            if (inserting) Cells.DS->Insert();
            SetClip(CF_VCLDBIF(), c.Data);
            try {
                GridClipboardPaste(Grid, false);
                ADD_FAILURE() << "no error";
            } catch (const rtl::Exception& e) {
                EXPECT_EQ(e.Message(), "TDBGridEhImportAsVCLDBIF.ReadPrefix: Invalid VCLDBIF format");
            }
            if (Cells.DS->State() == db::dsInsert) Cells.DS->Cancel();
            EXPECT_EQ(Values(Cells, "a"), (std::vector<Variant>{Variant("a"), Variant("c")}));
            EXPECT_FALSE(Cells.DS->ControlsDisabled());
        }
    }
}

TEST_F(ImpExpTest, AppendingPasteEndsWithTheData) {
    BindCells({u"a", u"b"});
    // A row of a tag without payload still reads its bytes: one record is appended, then the
    // trailer ends the paste.
    Cells.DS->Append();
    Import(TDBGridEhImportAsVCLDBIF::StaticClass(), VclHeader(1) + '\x09' + string(1, '\0'));
    EXPECT_EQ(Cells.DS->State(), db::dsBrowse);
    EXPECT_EQ(Cells.DS->RecordCount(), 3);
    // No rows at all: nothing is posted.
    Cells.DS->Append();
    Import(TDBGridEhImportAsVCLDBIF::StaticClass(), VclHeader(0) + string(1, '\0'));
    Cells.DS->Cancel();
    EXPECT_EQ(Cells.DS->RecordCount(), 3);
}

// ---------------------------------------------------------------------------------------------
// Lookup columns

TEST_F(ImpExpTest, LookupColumnRoundTrips) {
    Bind({u"name", u"city"});
    // By key values through VCLDBIF: Анна's city (key 2) onto the third record.
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    GridClipboardCopy(Grid, false);
    Grid->Selection()->Clear();
    People.DS->Last();
    Grid->SetCol(Grid->DataToGridCol(1));
    const string vcl = ClipData(CF_VCLDBIF());
    // Only the city cell of the row: a one-column stream.
    SetClip(CF_VCLDBIF(), VclHeader(1) + vcl.substr(12 + 4 + 1 + 4 + Cyr("Анна").size()));
    GridClipboardPaste(Grid, false);
    EXPECT_EQ(F("cid")->AsInteger(), 2);
    // By the shown text through text: case-insensitive, a prefix is enough.
    SetClip(ui::CF_TEXT, Cyr("тУ") + string(1, '\0'));
    GridClipboardPaste(Grid, false);
    EXPECT_EQ(F("cid")->AsInteger(), 1);
    SetClip(ui::CF_UNICODETEXT, Wide(Cyr("ор")) + string(2, '\0'));
    GridClipboardPaste(Grid, false);
    EXPECT_EQ(F("cid")->AsInteger(), 2);
    // Unknown text leaves the key; an empty cell clears it.
    SetClip(ui::CF_TEXT, Z("zz"));
    GridClipboardPaste(Grid, false);
    EXPECT_EQ(F("cid")->AsInteger(), 2);
    SetClip(ui::CF_TEXT, Z("\t"));
    GridClipboardPaste(Grid, false);
    EXPECT_TRUE(F("cid")->IsNull());
}

TEST_F(ImpExpTest, ShortLookupKeyTextGoesToTheValueDialog) {
    Bind({u"city", u"name"});
    TBoxScript boxes({ui::IDYES});
    // An empty key text for a column with one key field, then a name that is still written.
    Import(TDBGridEhImportAsVCLDBIF::StaticClass(), VclHeader(2) + '\x07' + Int32(0) + Tag5("zed") + string(1, '\0'));
    ASSERT_EQ(boxes.Texts.size(), 1u);
    EXPECT_EQ(boxes.Texts[0].rfind("Error during insert value:\n", 0), 0u);
    People.DS->First();
    EXPECT_EQ(F("cid")->AsInteger(), 2);
    EXPECT_EQ(F("name")->AsString(), "zed");
}

TEST_F(ImpExpTest, KeyListShorterThanPickListClearsTheField) {
    Bind({u"flag"});
    Col(0)->PickList()->SetText("Yes\nNo\nMaybe");
    Col(0)->KeyList()->SetText("1\n0");
    Import(TDBGridEhImportAsText::StaticClass(), Z("no\r\nMaybe"));
    EXPECT_EQ(Values(People, "flag"), (std::vector<Variant>{Variant("0"), Variant::Null(), Variant::Null()}));
}

// ---------------------------------------------------------------------------------------------
// Delete and clear

TEST_F(ImpExpTest, DeleteAsksBySelectionKind) {
    Bind({u"name", u"city", u"flag"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect, dgConfirmDelete});
    db::TDataSet* ds = People.DS.get();
    struct TCase {
        const char* Name;
        std::function<void()> Select;
        bool All;
        const char* Question;
    };
    auto records = [&](int N) {
        return [&, N] {
            ds->First();
            for (int i = 0; i < N; ++i, ds->Next()) Grid->SelectedRecords()->SetCurrentRowSelected(true);
        };
    };
    const TCase cases[] = {
        {"one record", records(1), false, "Delete record?"},
        {"two records", records(2), false, "Delete all selected records?"},
        {"rectangle",
         [&] {
             ds->First();
             Grid->Selection()->Rect()->Select(0, ds->Bookmark(), false);
             ds->Next();
             Grid->Selection()->Rect()->Select(1, ds->Bookmark(), true);
         },
         false, "Clear selected cells?"},
        {"columns", [&] { Grid->Selection()->Columns()->Select(Col(2), false); }, false, "Clear selected cells?"},
        {"select all", [&] { Grid->Selection()->SelectAll(); }, false, "Delete all selected records?"},
        {"all flag", [] {}, true, "Delete all selected records?"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        {
            Grid->Selection()->Clear();
            c.Select();
            TBoxScript cancel({ui::IDCANCEL});
            GridDeleteSelection(Grid, c.All);
            EXPECT_EQ(cancel.Texts, std::vector<AnsiString>{c.Question});
            EXPECT_EQ(ds->RecordCount(), 3);
            EXPECT_EQ(Values(People, "flag"), (std::vector<Variant>{Variant("1"), Variant("0"), Variant::Null()}));
            EXPECT_EQ(Values(People, "cid"), (std::vector<Variant>{Variant(2), Variant(1), Variant::Null()}));
        }
    }
    // Without the option nobody is asked.
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgConfirmDelete});
    TBoxScript none({ui::IDCANCEL});
    Grid->Selection()->Clear();
    records(1)();
    GridDeleteSelection(Grid, false);
    EXPECT_TRUE(none.Texts.empty());
    EXPECT_EQ(ds->RecordCount(), 2);
}

TEST_F(ImpExpTest, ClearingCellsClearsLookupKeysAndKeepsThePosition) {
    Bind({u"name", u"city", u"flag"});
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgConfirmDelete});
    db::TDataSet* ds = People.DS.get();
    ds->First();
    Grid->Selection()->Rect()->Select(1, ds->Bookmark(), false);
    ds->Next();
    Grid->Selection()->Rect()->Select(2, ds->Bookmark(), true);
    ds->Last();
    GridDeleteSelection(Grid, false);
    EXPECT_EQ(Values(People, "cid"), (std::vector<Variant>{Variant::Null(), Variant::Null(), Variant::Null()}));
    EXPECT_EQ(Values(People, "flag"), (std::vector<Variant>{Variant::Null(), Variant::Null(), Variant::Null()}));
    EXPECT_EQ(Values(People, "name"),
              (std::vector<Variant>{Variant(Cyr("Анна")), Variant(Cyr("Борис")), Variant::Null()}));
    EXPECT_EQ(F("id")->AsInteger(), 30);
    // Whole columns, in every record.
    Grid->Selection()->Columns()->Select(Col(0), false);
    GridDeleteSelection(Grid, false);
    EXPECT_EQ(Values(People, "name"), (std::vector<Variant>{Variant::Null(), Variant::Null(), Variant::Null()}));
    // Everything: every record goes.
    GridDeleteSelection(Grid, true);
    EXPECT_EQ(ds->RecordCount(), 0);
}

TEST_F(ImpExpTest, CutCopiesThenDeletes) {
    BindCells({u"a", u"b"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgConfirmDelete});
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    GridClipboardCut(Grid, false);
    EXPECT_EQ(ClipData(ui::CF_TEXT), string("a\tb") + '\0');
    EXPECT_EQ(Values(Cells, "a"), (std::vector<Variant>{Variant("c")}));
    // Columns selection: the copy walks every record.
    Grid->Selection()->Columns()->Select(Col(1), false);
    GridClipboardCopy(Grid, false);
    EXPECT_EQ(ClipData(ui::CF_TEXT), string("d") + '\0');
}

TEST_F(ImpExpTest, FilesRoundTrip) {
    BindCells({u"a", u"b"});
    const AnsiString path = ::testing::TempDir() + "impexp_round.txt";
    rtl::TOwnedPtr<TDBGridEhExportAsText> exp(rtl::Create<TDBGridEhExportAsText>());
    exp->SetDBGrid(Grid);
    exp->SaveToFile(path, true);
    Cells.DS->First();
    Cells.DS->Edit();
    CF("a")->SetAsString("changed");
    Cells.DS->Post();
    Cells.DS->Last();
    Cells.DS->Edit();
    CF("b")->SetAsString("changed");
    Cells.DS->Post();
    // The file has no terminator: its last character still arrives.
    rtl::TOwnedPtr<TDBGridEhImportAsText> imp(rtl::Create<TDBGridEhImportAsText>());
    imp->SetDBGrid(Grid);
    imp->LoadFromFile(path, true);
    EXPECT_EQ(Values(Cells, "a"), (std::vector<Variant>{Variant("a"), Variant("c")}));
    EXPECT_EQ(Values(Cells, "b"), (std::vector<Variant>{Variant("b"), Variant("d")}));
    std::remove(path.c_str());
}

}  // namespace
}  // namespace gridtest

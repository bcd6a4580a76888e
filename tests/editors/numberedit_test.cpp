// The number editor: its text routines, clamping and rounding, typing rules, grouping while
// typing, stepping by keys, wheel and up/down button, Null, the calculator, and binding to
// integer, float, currency and BCD fields.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "framework/ui/Clipbrd.h"
#include "numberedit_fixture.h"

using namespace editorstest;
using namespace editors;
using rtl::Variant;

namespace {

const AnsiString NB = "\xA0";  // the locale's thousands separator

class NumberEditTest : public BoundEditorTest<TDBNumberEditEh> {
protected:
    NumberEditTest()
        : BoundEditorTest(NumberCols(), {{Variant(7), Variant(2.5), Variant(rtl::DoubleToCurr(1234.5)),
                                          Variant(AnsiString("12,34"))}}) {}
    void SetUp() override {
        BoundEditorTest::SetUp();
        SetUpForm(CreateEditor("Num"));
    }
    // Types into an emptied editor.
    void TypeFresh(const std::string& Keys) {
        Focus(Edit);
        Edit->SelectAll();
        Key(ui::VK_DELETE);
        Type(Keys);
    }
};

TEST(NumberText, GroupingNormalisingAndParsing) {
    EXPECT_EQ(GroupThousands("1234567,5", true), "1" + NB + "234" + NB + "567,5");
    EXPECT_EQ(GroupThousands("-123456E3", true), "-123" + NB + "456E3");
    EXPECT_EQ(GroupThousands("123", true), "123");
    EXPECT_EQ(GroupThousands("1234567", false), "1234567");
    EXPECT_EQ(CurrencyEditFormat(), ",#.00");

    struct TParse {
        const char* Text;
        bool Ok;
        double X;
    } parses[] = {{"+", true, 0},    {"-", true, 0},    {"1,5", true, 1.5}, {"1,23E4", true, 12300},
                  {"1.5", false, 0}, {"12a", false, 0}, {"1E", false, 0},   {"--1", false, 0}};
    for (const auto& c : parses) {
        double x = -99;
        EXPECT_EQ(TryNumberTextToFloat(c.Text, x), c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_DOUBLE_EQ(x, c.X) << c.Text;
        }
    }

    struct TFmt {
        const char* Display;
        const char* Edit;
    } fmts[] = {{",0.00", ",0.00"},
                {"#,##0.00 'руб.';-#,##0.00", "#,##0.00"},
                {"0.00E+00", "0.00"},
                {"\"N\"0.0", "0.0"},
                {"", ""}};
    for (const auto& c : fmts) EXPECT_EQ(TCustomDBNumberEditEh::EditFormatOf(c.Display), c.Edit) << c.Display;
}

TEST_F(NumberEditTest, NormalisingAcceptsEitherSeparatorAndDropsGrouping) {
    EXPECT_EQ(Edit->NormalizeNumberText(" 1" + NB + "234.5 "), "1234,5");
    EXPECT_EQ(Edit->NormalizeNumberText("1,5"), "1,5");
}

TEST_F(NumberEditTest, CheckValueClampsToAssignedBoundsAndRoundsHalvesToEven) {
    struct TCase {
        double Min, Max;
        unsigned Places;
        double In, Out;
    } cases[] = {
        {0, 100, 2, 150, 100},
        {0, 100, 2, -3, 0},
        {0, 0, 2, -3, -3},
        {10, 0, 2, 3, 10},
        {10, 0, 2, 1e6, 1e6},
        {0, 50, 2, -7, 0},
        {-5, 0, 2, 9, 0},
        {0, -5, 2, 9, -5},
        {0, -5, 2, -9, -9},
        {0, 0, 0, 2.5, 2},
        {0, 0, 0, 3.5, 4},
        {0, 0, 2, 1.005001, 1.01},
        {0, 0, 38, 1.23456, 1.23456},
        // Scaled beyond 64 bits: kept as it is instead of wrapping.
        {0, 0, 30, 123456.789, 123456.789},
        {0, 0, 2, 1e300, 1e300},
    };
    for (const auto& c : cases) {
        auto* e = rtl::Create<TDBNumberEditEh>(Form);
        e->SetMinValue(c.Min);
        e->SetMaxValue(c.Max);
        e->SetDecimalPlaces(c.Places);
        EXPECT_DOUBLE_EQ(e->CheckValue(c.In), c.Out) << c.Min << ".." << c.Max << " d" << c.Places << " " << c.In;
        e->Free();
    }
    auto* e = rtl::Create<TDBNumberEditEh>(Form);
    EXPECT_DOUBLE_EQ(e->CheckValue(-3), -3) << "a range never assigned clamps nothing";
    e->Free();
}

TEST_F(NumberEditTest, TypedKeysAreCheckedAgainstDecimalsAndTheRange) {
    struct TCase {
        unsigned Places;
        double Min, Max;
        const char* Keys;
        const char* Text;
        Variant Value;
    } cases[] = {
        {2, 0, 0, "1,234", "1,23", Variant(1.23)}, {2, 0, 0, "1.5", "1,5", Variant(1.5)},
        {2, 0, 0, "12a-", "12", Variant(12.0)},    {2, 0, 100, "-", "-", Variant(0.0)},
        {2, 0, 100, "-5", "-", Variant(0.0)},      {2, 0, 100, "150", "150", Variant(100.0)},
        {0, 0, 0, "7,5", "7,", Variant(7.0)},
    };
    for (const auto& c : cases) {
        Edit->SetDecimalPlaces(c.Places);
        Edit->SetMinValue(c.Min);
        Edit->SetMaxValue(c.Max);
        TypeFresh(c.Keys);
        EXPECT_EQ(Edit->EditText(), c.Text) << c.Keys;
        EXPECT_EQ(Edit->Value(), c.Value) << c.Keys;
    }
}

TEST_F(NumberEditTest, DecimalsAreCountedUpToAnExponent) {
    TypeFresh("14");
    Edit->SetSelStart(1);
    Type("E");
    EXPECT_EQ(Edit->EditText(), "1E4");
    Edit->SetSelStart(1);
    Type(",23");
    EXPECT_EQ(Edit->EditText(), "1,23E4");
    EXPECT_EQ(Edit->Value(), Variant(12300.0));
    Type("4");
    EXPECT_EQ(Edit->EditText(), "1,23E4") << "a third decimal before the exponent is refused";
}

TEST_F(NumberEditTest, ThousandsAreGroupedWhileTypingAndBackspaceStepsOverASeparator) {
    Edit->SetDisplayFormat(",0.##");
    TypeFresh("1234567");
    EXPECT_EQ(Edit->EditText(), "1" + NB + "234" + NB + "567");
    EXPECT_EQ(Edit->SelStart(), 9) << "the caret stays at the end";
    EXPECT_DOUBLE_EQ(Edit->Value().AsDouble(), 1234567);

    Edit->SetSelStart(5);  // after "1 234", before the separator... move just after it
    Edit->SetSelStart(6);
    Key(ui::VK_BACK, '\b');
    EXPECT_EQ(Edit->EditText(), "1" + NB + "234" + NB + "567") << "nothing deleted";
    EXPECT_EQ(Edit->SelStart(), 5);
    Key(ui::VK_BACK, '\b');
    EXPECT_EQ(Edit->EditText(), "123" + NB + "567");
    EXPECT_DOUBLE_EQ(Edit->Value().AsDouble(), 123567);
}

TEST_F(NumberEditTest, ArrowsWheelAndTheUpDownButtonStepByIncrementWithinTheRange) {
    Edit->SetIncrement(5);
    Focus(Edit);
    Key(ui::VK_UP);
    EXPECT_EQ(Edit->Value(), Variant(5.0)) << "Null steps to Increment";
    Edit->SetValue(Variant::Null());
    Key(ui::VK_DOWN);
    EXPECT_EQ(Edit->Value(), Variant(5.0)) << "in either direction";
    Key(ui::VK_UP);
    Key(ui::VK_UP);
    EXPECT_EQ(Edit->Value(), Variant(15.0));
    EXPECT_EQ(Edit->SelLength(), static_cast<int>(Edit->EditText().size())) << "the stepped value is selected";

    Edit->SetMaxValue(17);
    Edit->SetMinValue(1);
    Key(ui::VK_UP);
    EXPECT_EQ(Edit->Value(), Variant(17.0));
    ui::MouseWheelInput(-120, At(Edit, 5, 5));
    Pump();
    EXPECT_EQ(Edit->Value(), Variant(12.0));

    Edit->EditButton()->SetStyle(ebsUpDownEh);
    Edit->EditButton()->SetVisible(true);
    Pump();
    Edit->EditButtonDown(false);  // the upper half
    EXPECT_EQ(Edit->Value(), Variant(17.0));
    Edit->EditButtonDown(true);
    Edit->EditButtonDown(true);
    Edit->EditButtonDown(true);
    EXPECT_EQ(Edit->Value(), Variant(2.0));
    Edit->EditButtonDown(true);
    EXPECT_EQ(Edit->Value(), Variant(1.0)) << "clamped to MinValue";

    Edit->SetReadOnly(true);
    Key(ui::VK_UP);
    EXPECT_EQ(Edit->Value(), Variant(1.0)) << "a read-only editor does not step";
}

TEST_F(NumberEditTest, DeletingToATextThatIsNoNumberGivesNullInsteadOfRaising) {
    TypeFresh("15");
    Edit->SetSelStart(1);
    Type("E");
    ASSERT_EQ(Edit->Value(), Variant(100000.0));
    Edit->SetSelStart(3);
    Key(ui::VK_BACK, '\b');
    EXPECT_EQ(Edit->EditText(), "1E");
    EXPECT_TRUE(Edit->Value().IsNull());
    Edit->SelectAll();
    Edit->Perform(ui::WM_CUT);
    Pump();
    EXPECT_TRUE(Edit->Value().IsNull());
    EXPECT_EQ(Edit->EditText(), "");
}

TEST_F(NumberEditTest, APastedTextThatIsNoNumberIsUndone) {
    TypeFresh("12");
    ui::Clipboard()->SetAsWideText(u"abc");
    Edit->PasteFromClipboard();
    Pump();
    EXPECT_EQ(Edit->EditText(), "12");
    EXPECT_EQ(Edit->Value(), Variant(12.0));
    EXPECT_EQ(Edit->SelLength(), 2);
    ui::Clipboard()->SetAsWideText(u"3,5");
    Edit->SelectAll();
    Edit->PasteFromClipboard();
    Pump();
    EXPECT_EQ(Edit->Value(), Variant(3.5));
}

TEST_F(NumberEditTest, BoundToEachNumericFieldTheNumberIsWrittenNotTheText) {
    struct TCase {
        const char* Field;
        const char* Typed;
        double Stored;
    } cases[] = {{"qty", "42", 42}, {"price", "1,25", 1.25}, {"sum", "1234,5", 1234.5}, {"amount", "99,99", 99.99}};
    for (const auto& c : cases) {
        Bind(c.Field);
        TypeFresh(c.Typed);
        Focus(Other);
        EXPECT_DOUBLE_EQ(Data.F(c.Field)->AsFloat(), c.Stored) << c.Field;
        EXPECT_EQ(Edit->Value(), Variant(c.Stored)) << c.Field;
    }
    Data.DS->Post();

    Bind("qty");
    TypeFresh("");
    Focus(Other);
    EXPECT_TRUE(Data.F("qty")->IsNull()) << "an emptied editor stores Null";
    EXPECT_THROW(Edit->SetText("x1"), rtl::EConvertError);
    EXPECT_TRUE(Data.F("qty")->IsNull());
}

TEST_F(NumberEditTest, DisplayFormatShowsUnfocusedAndItsEditFormatWhileFocused) {
    Bind("price");
    Edit->SetDisplayFormat("#,##0.00 'kg'");
    Edit->SetValue(Variant(1234.5));
    EXPECT_EQ(Edit->EditText(), "1" + NB + "234,50 kg");
    Focus(Edit);
    EXPECT_EQ(Edit->EditText(), "1" + NB + "234,50");
    EXPECT_EQ(Edit->EditFormat(), "#,##0.00");
}

TEST_F(NumberEditTest, CurrencyUsesTheLocaleAndFallsBackToTheFloatFormBeyondItsRange) {
    Edit->SetCurrency(true);
    Edit->SetValue(Variant(1234.5));
    EXPECT_EQ(Edit->EditText(), rtl::CurrToStrF(rtl::DoubleToCurr(1234.5), rtl::ffCurrency, 2));
    EXPECT_NE(Edit->EditText().find("234,50"), AnsiString::npos);
    Edit->SetDecimalPlaces(0);
    EXPECT_NO_THROW(Edit->SetValue(Variant(5e15)));
    EXPECT_EQ(Edit->EditText(), rtl::FloatToStrF(5e15, rtl::ffCurrency, 18, 2));
    EXPECT_EQ(Edit->Value(), Variant(5e15));
}

TEST_F(NumberEditTest, TheCalculatorOpensOnZeroTakesTheKeysAndEnterWritesItsResult) {
    Focus(Edit);
    Edit->DropDown();
    Pump();
    ASSERT_TRUE(Edit->CalculatorOpen());
    EXPECT_EQ(Edit->PopupCalculator()->GetValue(), Variant(0.0)) << "Null opens as 0";
    Type("2*3=");
    EXPECT_EQ(Edit->EditText(), "") << "the keys went to the calculator";
    Key(ui::VK_RETURN, '\r');
    EXPECT_FALSE(Edit->CalculatorOpen());
    EXPECT_EQ(Edit->Value(), Variant(6.0));

    Edit->DropDown();
    Pump();
    Type("9");
    Key(ui::VK_ESCAPE, '\x1B');
    EXPECT_FALSE(Edit->CalculatorOpen());
    EXPECT_EQ(Edit->Value(), Variant(6.0)) << "Esc leaves the value";
}

TEST_F(NumberEditTest, TheCalculatorShowsOnTheScreenRightUnderTheEditor) {
    Form->SetBounds(100, 100, 400, 300);
    Focus(Edit);
    Edit->DropDown();
    Pump();
    TPopupCalculatorEh* calc = Edit->PopupCalculator();
    ExpectShownUnder(Edit, calc);
    EXPECT_TRUE(Edit->Focused()) << "the editor keeps the focus";

    // Its keys take clicks without taking the focus or the form's activation.
    ui::TControl* seven = calc->KeyOfTag(1);
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(seven, 5, 5));
    Pump();
    ui::MouseInput(ui::WM_LBUTTONUP, At(seven, 5, 5));
    Pump();
    EXPECT_EQ(calc->DisplayText(), "7");
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(ui::GetActiveWindow(), Form->Handle());
    Key(ui::VK_RETURN, '\r');
    EXPECT_FALSE(calc->IsWindowVisible());
    EXPECT_EQ(Edit->Value(), Variant(7.0));
}

// The guard every editor shares: bound by field name without a data source, a write by code raises
// the data-source error and changes nothing; the editor reads as empty.
TEST_F(NumberEditTest, NumberAndDateEditorsBoundByNameWithoutADataSourceRefuseWritesByCode) {
    auto* date = rtl::Create<TDBDateTimeEditEh>(Form);
    date->SetName("Date");
    date->SetParent(Form);
    Edit->SetDataField("qty");
    date->SetDataField("born");
    struct TCase {
        const char* Name;
        TCustomDBEditEh* Editor;
        std::function<void()> Write;
    } cases[] = {
        {"number Value", Edit, [&] { Edit->SetValue(Variant(5)); }},
        {"number Text", Edit, [&] { Edit->SetText("5"); }},
        {"number Clear", Edit, [&] { Edit->Clear(); }},
        {"date Value", date, [&] { date->SetValue(Variant::FromDate(rtl::EncodeDate(2024, 3, 5))); }},
        {"date Text", date, [&] { date->SetText("05.03.2024"); }},
    };
    for (const auto& c : cases) {
        try {
            c.Write();
            ADD_FAILURE() << c.Name << " did not raise";
        } catch (const db::EDatabaseError& e) {
            EXPECT_NE(std::string(e.Message()).find("Missing DataSource property"), std::string::npos) << c.Name;
        }
        EXPECT_TRUE(c.Editor->Value().IsNull()) << c.Name;
        EXPECT_TRUE(c.Editor->DataLink()->UnboundValue().IsNull()) << c.Name;
    }
    EXPECT_EQ(Edit->EditText(), "");
    EXPECT_EQ(date->Text(), "");
}

TEST_F(NumberEditTest, TheWheelMovesTheOpenCalculatorNotTheValue) {
    Edit->SetValue(Variant(10.0));
    Focus(Edit);
    Edit->DropDown();
    Pump();
    ui::MouseWheelInput(-120, At(Edit, 5, 5));
    Pump();
    EXPECT_EQ(Edit->PopupCalculator()->DisplayText(), "9");
    EXPECT_EQ(Edit->Value(), Variant(10.0));
    Key(ui::VK_ESCAPE, '\x1B');
    ui::MouseWheelInput(-120, At(Edit, 5, 5));
    Pump();
    EXPECT_EQ(Edit->Value(), Variant(9.0)) << "closed, the wheel steps the value again";
}

}  // namespace

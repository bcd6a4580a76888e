// Variant-array resizing, data sources behind properties, message copies and the window calls.
#include <gtest/gtest.h>

#include "controls/editors/TarnelVCL.h"
#include "framework/ui/Forms.h"
#include "tests/support/editors_fixture.h"

namespace {

using namespace editors;
using rtl::Variant;

TEST(VariantArrayRedim, KeepsTheElementsWithinTheNewBounds) {
    struct TCase {
        int Low, High, NewHigh;
        std::vector<int> Kept;  // elements from Low on, as integers; -1 for a new Empty element
    };
    const TCase cases[] = {
        {0, 2, 4, {10, 11, 12, -1, -1}},  // grows
        {0, 2, 0, {10}},                  // shrinks
        {1, 3, 3, {10, 11, 12}},          // same bound, other low bound
        {1, 3, 0, {}},                    // empty: high bound one below the low bound
    };
    for (const TCase& c : cases) {
        Variant v = Variant::CreateArray(c.Low, c.High, rtl::varVariant);
        for (int i = c.Low; i <= c.High; ++i) v.SetElement(i, Variant(10 + i - c.Low));
        VariantArrayRedim(v, c.NewHigh);
        ASSERT_EQ(v.ArrayLowBound(), c.Low);
        ASSERT_EQ(v.ArrayHighBound(), c.NewHigh);
        for (size_t k = 0; k < c.Kept.size(); ++k) {
            const Variant e = v.GetElement(c.Low + static_cast<int>(k));
            if (c.Kept[k] < 0)
                EXPECT_TRUE(e.IsEmpty()) << c.Low << ".." << c.High << " -> " << c.NewHigh;
            else
                EXPECT_EQ(e.AsInteger(), c.Kept[k]) << c.Low << ".." << c.High << " -> " << c.NewHigh;
        }
    }
}

TEST(VariantArrayRedim, RefusesNonArraysAndBoundsBelowTheLowOneAndLeavesTheValue) {
    Variant scalar(5);
    EXPECT_THROW(VariantArrayRedim(scalar, 3), rtl::EVariantInvalidOpError);
    EXPECT_EQ(scalar.AsInteger(), 5);
    Variant a = Variant::CreateArray(2, 4, rtl::varVariant);
    a.SetElement(2, Variant(7));
    EXPECT_THROW(VariantArrayRedim(a, 0), rtl::EVariantBadIndexError);
    EXPECT_EQ(a.ArrayHighBound(), 4);
    EXPECT_EQ(a.GetElement(2).AsInteger(), 7);
}

TEST(DataSetOfSourceProperty, AnswersTheSourcesDataSetOrNilForAnythingElse) {
    auto f = editorstest::OpenPeople(2);
    rtl::TOwnedPtr<db::TDataSource> src(rtl::Create<db::TDataSource>(nullptr));
    src->SetDataSet(f.DS.get());
    rtl::TOwnedPtr<rtl::TComponent> other(rtl::Create<rtl::TComponent>(nullptr));
    rtl::TComponent* holder = other.get();

    EXPECT_EQ(DataSetOfSourceProperty(holder, [&](rtl::TObject*) -> rtl::TObject* { return src.get(); }), f.DS.get());
    EXPECT_EQ(DataSetOfSourceProperty(holder, [&](rtl::TObject*) -> rtl::TObject* { return other.get(); }), nullptr);
    EXPECT_EQ(DataSetOfSourceProperty(holder, [](rtl::TObject*) -> rtl::TObject* { return nullptr; }), nullptr);
    EXPECT_EQ(
        DataSetOfSourceProperty(holder, [](rtl::TObject*) -> rtl::TObject* { throw rtl::Exception("unreadable"); }),
        nullptr);
    EXPECT_EQ(DataSetOfSourceProperty(nullptr, [&](rtl::TObject*) -> rtl::TObject* { return src.get(); }), nullptr);
    src->SetDataSet(nullptr);
    EXPECT_EQ(DataSetOfSourceProperty(holder, [&](rtl::TObject*) -> rtl::TObject* { return src.get(); }), nullptr);
}

TEST(MessageCopies, AKeyOrMouseCopyIsIndependentOfTheOriginal) {
    ui::TMessage original(ui::WM_KEYDOWN, ui::VK_RETURN, 0x1C0001);
    original.Result = 3;
    ui::TMessage copy;
    MessageToKeyMessage(original, copy);
    ui::TWMKey key(copy);
    EXPECT_EQ(key.CharCode, ui::VK_RETURN);
    EXPECT_EQ(key.KeyData, 0x1C0001);
    EXPECT_EQ(key.Result, 3);
    key.CharCode = 0;
    key.Result = 1;
    EXPECT_EQ(original.WParam, static_cast<ui::WPARAM>(ui::VK_RETURN));
    EXPECT_EQ(original.Result, 3);

    ui::TMessage click(ui::WM_LBUTTONDOWN, ui::MK_LBUTTON, ui::PointToLParam(-4, 9));
    ui::TMessage mouse;
    MessageToMouseMessage(click, mouse);
    ui::TWMMouse m(mouse);
    EXPECT_EQ(m.XPos, -4);
    EXPECT_EQ(m.YPos, 9);
    EXPECT_EQ(m.Keys, ui::MK_LBUTTON);
}

TEST(WindowCalls, ReachTheWindowOfTheHandleAndRefuseDeadHandles) {
    ui::ClearMessageQueue();
    auto* form = rtl::Create<ui::TForm>(nullptr);
    form->SetBounds(0, 0, 200, 100);
    auto* panel = rtl::Create<ui::TCustomControl>(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 100, 50);
    const ui::HWND h = panel->Handle();
    panel->ValidateRect(nullptr);

    const ui::TRect r{5, 5, 20, 15};
    EXPECT_TRUE(WinInvalidateRect(h, &r, false));
    ui::TRect dirty;
    ASSERT_TRUE(panel->GetUpdateRect(dirty));
    EXPECT_EQ(dirty, r);
    EXPECT_TRUE(WinValidateRect(h, nullptr));
    EXPECT_FALSE(panel->GetUpdateRect(dirty));
    EXPECT_TRUE(WinScrollWindow(h, 0, 10, nullptr, nullptr));
    EXPECT_TRUE(panel->GetUpdateRect(dirty)) << "the uncovered band is painted again";

    ui::TRect work;
    EXPECT_TRUE(WinSystemParametersInfo(ui::SPI_GETWORKAREA, &work));
    EXPECT_EQ(work, ui::GetWorkArea());

    const ui::TPoint triangle[] = {{0, 0}, {10, 0}, {0, 10}};
    EXPECT_EQ(WinCreatePolygonRgn(triangle, 3).Bounds(), ui::TRegion::FromPolygon(triangle, 3).Bounds());
    EXPECT_TRUE(WinCreatePolygonRgn(triangle, 2).IsEmpty());

    // The flagged scroll: the pixels move, so only the uncovered band is to paint; only
    // SW_INVALIDATE marks it; both forms report it.
    EXPECT_TRUE(WinValidateRect(h, nullptr));
    const ui::TRect band{0, 10, 100, 40}, clip{0, 0, 100, 30};
    ui::TRegion rgn;
    ui::TRect updated;
    EXPECT_EQ(WinScrollWindowEx(h, 0, 5, &band, &clip, &rgn, &updated, 0), ui::SIMPLEREGION);
    EXPECT_EQ(updated, (ui::TRect{0, 10, 100, 15}));
    EXPECT_EQ(rgn.Bounds(), updated);
    EXPECT_FALSE(panel->GetUpdateRect(dirty)) << "without SW_INVALIDATE nothing is to paint";
    EXPECT_EQ(WinScrollWindowEx(h, 0, 5, &band, &clip, nullptr, nullptr, ui::SW_INVALIDATE), ui::SIMPLEREGION);
    ASSERT_TRUE(panel->GetUpdateRect(dirty));
    EXPECT_EQ(dirty, updated);
    EXPECT_EQ(WinScrollWindowEx(h, 0, 0, &band, nullptr, nullptr, &updated, ui::SW_INVALIDATE), ui::NULLREGION);
    EXPECT_TRUE(updated.IsEmpty());

    ui::TTextMetric metrics;
    EXPECT_TRUE(WinGetOutlineTextMetrics(panel->Canvas(), metrics));
    EXPECT_EQ(metrics.tmHeight, panel->Canvas()->GetTextMetrics().tmHeight);
    EXPECT_FALSE(WinGetOutlineTextMetrics(nullptr, metrics));

    panel->Free();
    EXPECT_FALSE(WinInvalidateRect(h, nullptr, true));
    EXPECT_FALSE(WinValidateRect(h, nullptr));
    EXPECT_FALSE(WinScrollWindow(h, 1, 1, nullptr, nullptr));
    EXPECT_EQ(WinScrollWindowEx(h, 1, 1, nullptr, nullptr, nullptr, nullptr, ui::SW_INVALIDATE), 0);
    form->Free();
    ui::ClearMessageQueue();
}

TEST(BitmapResources, LoadByNameOrRaiseAndLeaveTheBitmapAlone) {
    constexpr ui::HINSTANCE Module = 7;
    ui::RegisterBitmapResource(Module, "DropDownEh", [](ui::TBitmap& B) {
        B.SetSize(9, 6);
        B.Canvas()->FillSolid(ui::Rect(0, 0, 9, 6), ui::clNavy);
    });
    ui::TBitmap bmp;
    BitmapLoadFromResource(&bmp, Module, "DROPDOWNEH");
    EXPECT_EQ(bmp.Width(), 9);
    EXPECT_EQ(bmp.Canvas()->Pixel(8, 5), ui::clNavy);

    ui::TBitmap other;
    other.SetSize(2, 2);
    EXPECT_FALSE(WinLoadBitmap(Module, "NOSUCHEH", &other));
    EXPECT_FALSE(WinLoadBitmap(0, "DROPDOWNEH", &other)) << "another module's name";
    try {
        BitmapLoadFromResource(&other, Module, "NOSUCHEH");
        ADD_FAILURE() << "no error";
    } catch (const ui::EResNotFound& e) {
        EXPECT_STREQ(e.what(), "Resource NOSUCHEH not found");
    }
    EXPECT_EQ(other.Width(), 2);

    ui::RegisterBitmapResource(Module, "BROKENEH", [](ui::TBitmap& B) {
        B.SetSize(3, 3);
        throw rtl::Exception("broken");
    });
    EXPECT_THROW(WinLoadBitmap(Module, "BrokenEh", &other), rtl::Exception);
    EXPECT_EQ(other.Width(), 2) << "a failing painter leaves the bitmap as it was";

    EXPECT_TRUE(WinLoadBitmap(0, ui::OBM_CHECKBOXES, &other));
    EXPECT_EQ(other.Width(), 4 * 13);
    ui::UnregisterBitmapResource(Module, "DropDownEh");
    ui::UnregisterBitmapResource(Module, "BrokenEh");
    EXPECT_FALSE(WinLoadBitmap(Module, "DROPDOWNEH", &bmp));
}

}  // namespace

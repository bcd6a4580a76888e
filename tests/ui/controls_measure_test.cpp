#include "tests/support/ui_fixture.h"
#include "framework/ui/ComCtrls.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/StdCtrls.h"

namespace uitest {
namespace {

// A surface whose text is taller and wider than the fixed metrics, as a real font's is.
class TTallTextSurface : public TRecordingSurface {
public:
    explicit TTallTextSurface(int Extra) : FExtra(Extra) {}
    TSize TextExtent(std::string_view Text, const TFontData& Font) override {
        TSize s = FixedTextExtent(Text, Font);
        return {s.cx + FExtra * static_cast<int>(Text.size()), s.cy + FExtra};
    }
    TTextMetric TextMetrics(const TFontData& Font) override {
        TTextMetric tm = FixedTextMetrics(Font);
        tm.tmHeight += FExtra;
        tm.tmAveCharWidth += FExtra;
        return tm;
    }

private:
    int FExtra;
};

class MeasureTest : public UiTest {
protected:
    void TearDown() override {
        SetTextMeasureSurface(nullptr);
        SetSurfaceFactory(nullptr);
        UiTest::TearDown();
    }
};

TEST_F(MeasureTest, ControlsMeasureWithTheMeasurerThenWithTheirWindowsSurface) {
    TTallTextSurface measurer(5);
    SetTextMeasureSurface(&measurer);
    SetSurfaceFactory([](TWinControl*) { return std::make_unique<TTallTextSurface>(9); });
    const int fixed = FixedTextMetrics(Form->Font()->Data()).tmHeight;

    auto* list = rtl::Create<TListBox>(Form);
    list->SetParent(Form);
    auto* tree = rtl::Create<TTreeView>(Form);
    tree->SetParent(Form);
    auto* tabs = rtl::Create<TTabControl>(Form);
    tabs->SetParent(Form);
    auto* calendar = rtl::Create<TMonthCalendar>(Form);
    calendar->SetParent(Form);

    struct TCase {
        const char* Name;
        std::function<int()> Measure;
        int Base;  // what the control adds to the text height
    };
    const TCase cases[] = {
        {"list item", [&] { return list->ItemHeight(); }, 0},
        {"tree item", [&] { return tree->ItemHeight(); }, 2},
        {"tab", [&] { return tabs->TabHeight(); }, 6},
        {"calendar cell", [&] { return calendar->DateRect(calendar->Date()).Height(); }, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(c.Measure(), fixed + 5 + c.Base) << c.Name << " before the window";
    Form->Show();
    for (const auto& c : cases) EXPECT_EQ(c.Measure(), fixed + 9 + c.Base) << c.Name << " on the window";
}

TEST_F(MeasureTest, WithoutAMeasurerTheFixedMetricsStay) {
    auto* list = rtl::Create<TListBox>(Form);
    list->SetParent(Form);
    EXPECT_EQ(list->ItemHeight(), FixedTextMetrics(list->Font()->Data()).tmHeight);
    Form->Show();
    EXPECT_EQ(list->ItemHeight(), FixedTextMetrics(list->Font()->Data()).tmHeight);
}

TEST_F(MeasureTest, GroupBoxKeepsAlignedChildrenBelowTheMeasuredCaption) {
    SetSurfaceFactory([](TWinControl*) { return std::make_unique<TTallTextSurface>(7); });
    auto* box = rtl::Create<TGroupBox>(Form);
    box->SetParent(Form);
    auto* inner = rtl::Create<TPanel>(Form);
    Form->Show();
    inner->SetAlign(alClient);
    inner->SetParent(box);
    EXPECT_EQ(inner->Top(), FixedTextMetrics(box->Font()->Data()).tmHeight + 7);
}

}  // namespace
}  // namespace uitest

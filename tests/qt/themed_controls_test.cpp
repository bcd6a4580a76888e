// The themed look of the standard controls, pixel for pixel on the offscreen platform: one golden
// image per control kind and state (tests/qt/golden). VELMORAT_UPDATE_GOLDEN=1 writes them anew.
#include <functional>

#include <QImage>

#include "qtbackend_fixture.h"
#include "framework/qt/QtSurface.h"
#include "framework/rtl/Text.h"
#include "framework/ui/ComCtrls.h"
#include "framework/ui/StdCtrls.h"
#include "framework/ui/Themes.h"

namespace qttest {
namespace {

class ThemedLook : public BackendTest {
protected:
    void SetUp() override {
        BackendTest::SetUp();
        Input->SetBounds(200, 150, 20, 20);  // out of the way, to take the focus
    }
    template <class T>
    T* Add(int W, int H, const char8_t* Caption = u8"") {
        auto* c = rtl::Create<T>(Form);
        c->SetParent(Form);
        c->SetBounds(20, 20, W, H);
        c->SetCaption(rtl::UTF8ToAnsi(Caption));
        return c;
    }
    // The control's pixels as the window shows them, against the golden image of Name.
    void Expect(TControl* C, const std::string& Name) {
        Pump();
        Form->Update();
        Pump();
        const QImage& whole = qtback::WindowSurface(Form)->Image();
        const TPoint org = Form->ClientToScreen(Point(0, 0));
        const TRect w = C->BoundsRect();
        const QImage got = whole.copy(org.X - Form->Left() + w.Left, org.Y - Form->Top() + w.Top, w.Width(), w.Height())
                               .convertToFormat(QImage::Format_RGB32);
        const QString file = QString::fromUtf8(VELMORAT_GOLDEN_DIR "/") + QString::fromStdString(Name) + ".png";
        if (qEnvironmentVariableIsSet("VELMORAT_UPDATE_GOLDEN")) {
            ASSERT_TRUE(got.save(file)) << Name;
            return;
        }
        const QImage want = QImage(file).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(want.isNull()) << "no golden image " << file.toStdString();
        ASSERT_EQ(got.size(), want.size()) << Name;
        // Text is antialiased: a few pixels may differ a little between font builds.
        int differ = 0;
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x) {
                const QRgb a = got.pixel(x, y), b = want.pixel(x, y);
                if (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 96)
                    ++differ;
            }
        EXPECT_LE(differ, 3) << Name << ": " << differ << " pixels differ from the golden image";
    }
    void Hover(TControl* C) { MouseInput(WM_MOUSEMOVE, C->ClientToScreen(Point(5, 5))); }
};

TEST_F(ThemedLook, Edits) {
    auto* e = Add<TEdit>(120, 23);
    e->SetText(rtl::UTF8ToAnsi(u8"Опись 7"));
    e->SetAutoSelect(false);
    Expect(e, "edit_normal");
    Hover(e);
    Expect(e, "edit_hot");
    e->SetFocus();
    e->SetSel(2, 5);
    Expect(e, "edit_focused");
    Input->SetFocus();
    e->SetEnabled(false);
    Expect(e, "edit_disabled");
}

TEST_F(ThemedLook, Buttons) {
    auto* b = Add<TButton>(90, 25, u8"&Закрыть");
    Expect(b, "button_normal");
    Hover(b);
    Expect(b, "button_hot");
    MouseInput(WM_LBUTTONDOWN, b->ClientToScreen(Point(5, 5)));
    Expect(b, "button_pressed_focused");
    MouseInput(WM_LBUTTONUP, b->ClientToScreen(Point(200, 200)));
    b->SetEnabled(false);
    Expect(b, "button_disabled");
}

TEST_F(ThemedLook, CheckAndRadioBoxes) {
    auto* c = Add<TCheckBox>(140, 17, u8"Только мои");
    Expect(c, "check_unchecked");
    c->SetChecked(true);
    c->SetFocus();
    Expect(c, "check_checked_focused");
    auto* r = Add<TRadioButton>(140, 17, u8"Все");
    c->SetVisible(false);
    r->SetChecked(true);
    Hover(r);
    Expect(r, "radio_checked_hot");
}

TEST_F(ThemedLook, ComboBoxes) {
    auto* c = Add<TComboBox>(150, 23);
    c->SetStyle(csDropDownList);
    c->Items()->Add(rtl::UTF8ToAnsi(u8"Описи"));
    c->SetItemIndex(0);
    Expect(c, "combo_list_normal");
    c->SetFocus();
    c->SetDroppedDown(true);
    Expect(c, "combo_list_dropped");
}

TEST_F(ThemedLook, ScrollBarGroupBoxAndTabs) {
    auto* s = Add<TScrollBar>(160, 17);
    s->SetParams(30, 0, 100);
    s->SetPageSize(20);
    Expect(s, "scrollbar_horizontal");
    s->SetVisible(false);
    auto* g = Add<TGroupBox>(160, 60, u8"Фонд");
    Expect(g, "groupbox");
    g->SetVisible(false);
    auto* t = Add<TTabControl>(160, 60);
    t->Tabs()->Add(rtl::UTF8ToAnsi(u8"Общие"));
    t->Tabs()->Add(rtl::UTF8ToAnsi(u8"Прочие"));
    Expect(t, "tabs");
}

}  // namespace
}  // namespace qttest

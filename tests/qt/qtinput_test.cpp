// Qt input arrives as the model's messages: keys and their 1251 characters, mouse, wheel, close.
#include <QCloseEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "qtbackend_fixture.h"
#include "framework/qt/QtInput.h"
#include "framework/rtl/Text.h"

namespace qttest {
namespace {

struct TKey {
    QEvent::Type Type;
    int Key;
    Qt::KeyboardModifiers Mods;
    QString Text;
    bool AutoRepeat = false;
};
TKey Press(int K, QString T = {}, Qt::KeyboardModifiers M = Qt::NoModifier, bool Rep = false) {
    return {QEvent::KeyPress, K, M, T, Rep};
}
TKey Release(int K, QString T = {}, Qt::KeyboardModifiers M = Qt::NoModifier, bool Rep = false) {
    return {QEvent::KeyRelease, K, M, T, Rep};
}

struct TKeyCase {
    const char* Name;
    std::vector<TKey> Events;
    const char* Expected;
};

class KeyInput : public BackendTest, public ::testing::WithParamInterface<TKeyCase> {};

TEST_P(KeyInput, ArrivesAsKeyAndCharacterMessages) {
    QWindow* w = Native(Form);
    ASSERT_NE(w, nullptr);
    Input->Log.clear();
    for (const TKey& k : GetParam().Events) {
        QKeyEvent e(k.Type, k.Key, k.Mods, k.Text, k.AutoRepeat);
        QCoreApplication::sendEvent(w, &e);
    }
    Pump();
    EXPECT_EQ(Input->Joined(), GetParam().Expected);
}

const QString ef = QString::fromUtf8(u8"ф"), EF = QString::fromUtf8(u8"Ф"), es = QString::fromUtf8(u8"с");
constexpr int KeyEf = 0x0424, KeyEs = 0x0421, KeyHa = 0x0425;
const auto Shift = Qt::ShiftModifier;
const auto Ctrl = Qt::ControlModifier;
const auto Alt = Qt::AltModifier;

INSTANTIATE_TEST_SUITE_P(
    Qt, KeyInput,
    ::testing::Values(
        TKeyCase{"RussianLetterIsTheLatinKeyWithItsCyrillicCharacter",
                 {Press(KeyEf, ef), Release(KeyEf, ef)},
                 "down:41 char:F4 up:41"},
        TKeyCase{"ShiftGivesTheCapital",
                 {Press(Qt::Key_Shift, {}, Shift), Press(KeyEf, EF, Shift), Release(KeyEf, EF, Shift),
                  Release(Qt::Key_Shift)},
                 "down:10 down:41 char:D4 up:41 up:10"},
        TKeyCase{"RussianLayoutPunctuationKeys",
                 {Press(KeyHa, QString::fromUtf8(u8"х")), Release(KeyHa), Press(0x0401, QString::fromUtf8(u8"ё")),
                  Release(0x0401)},
                 "down:DB char:F5 up:DB down:C0 char:B8 up:C0"},
        TKeyCase{"CtrlShortcutIgnoresTheLayout",
                 {Press(Qt::Key_Control, {}, Ctrl), Press(KeyEs, QString(QChar(3)), Ctrl), Release(KeyEs, {}, Ctrl),
                  Release(Qt::Key_Control)},
                 "down:11 down:43 char:03 up:43 up:11"},
        TKeyCase{"CtrlOnLatinLetters",
                 {Press(Qt::Key_Control, {}, Ctrl), Press(Qt::Key_V, QString(QChar(0x16)), Ctrl),
                  Release(Qt::Key_V, {}, Ctrl), Release(Qt::Key_Control)},
                 "down:11 down:56 char:16 up:56 up:11"},
        TKeyCase{"CtrlAltTypesTheCharacterTheLayoutGivesIt",
                 {Press(Qt::Key_Control, {}, Ctrl), Press(Qt::Key_Alt, {}, Ctrl | Alt),
                  Press(Qt::Key_E, QString::fromUtf8(u8"€"), Ctrl | Alt), Release(Qt::Key_E, {}, Ctrl | Alt),
                  Release(Qt::Key_Alt, {}, Ctrl), Release(Qt::Key_Control)},
                 "down:11 down:12 down:45 char:88 up:45 up:12 up:11"},
        TKeyCase{"AltGrTypesItsCharacter",
                 {Press(Qt::Key_AltGr, {}, Qt::GroupSwitchModifier), Press(Qt::Key_Q, "@", Qt::GroupSwitchModifier),
                  Release(Qt::Key_Q, {}, Qt::GroupSwitchModifier), Release(Qt::Key_AltGr)},
                 "down:12 down:51 char:40 up:51 up:12"},
        TKeyCase{"AutoRepeatRepeatsThePressOnly",
                 {Press(Qt::Key_A, "a"), Release(Qt::Key_A, "a", {}, true), Press(Qt::Key_A, "a", {}, true),
                  Release(Qt::Key_A, "a", {}, true), Press(Qt::Key_A, "a", {}, true), Release(Qt::Key_A, "a")},
                 "down:41 char:61 down:41+r char:61 down:41+r char:61 up:41"},
        TKeyCase{"EditingKeys",
                 {Press(Qt::Key_Return, "\r"), Release(Qt::Key_Return), Press(Qt::Key_Backspace, "\b"),
                  Release(Qt::Key_Backspace), Press(Qt::Key_Delete, QString(QChar(0x7F))), Release(Qt::Key_Delete),
                  Press(Qt::Key_F2), Release(Qt::Key_F2)},
                 "down:0D char:0D up:0D down:08 char:08 up:08 down:2E up:2E down:71 up:71"},
        TKeyCase{"CharactersTravelIn1251",
                 {Press(Qt::Key_division, QString::fromUtf8(u8"№")), Press(Qt::Key_unknown, QString::fromUtf8(u8"€"))},
                 "char:B9 char:88"},
        TKeyCase{
            "ACharacterWithout1251FormIsRefused",
            {Press(Qt::Key_Adiaeresis, QString::fromUtf8(u8"ä")), Press(Qt::Key_unknown, QString::fromUtf8(u8"漢"))},
            ""},
        TKeyCase{"DeadKeyTypesNothingByItself", {Press(Qt::Key_Dead_Diaeresis), Release(Qt::Key_Dead_Diaeresis)}, ""},
        TKeyCase{"KeypadDigits",
                 {Press(Qt::Key_5, "5", Qt::KeypadModifier), Release(Qt::Key_5, "5", Qt::KeypadModifier)},
                 "down:65 char:35 up:65"}),
    [](const ::testing::TestParamInfo<TKeyCase>& I) { return std::string(I.param.Name); });

// X reports Shift+Tab as Qt's Backtab key, with or without the Shift it implies; either way the
// focus goes back, also when the Shift key is let go before the form handles the stroke.
TEST_F(BackendTest, BacktabMovesTheFocusBackwards) {
    auto* b = rtl::Create<TInputLog>(Form);
    b->SetParent(Form);
    auto* c = rtl::Create<TInputLog>(Form);
    c->SetParent(Form);
    QWindow* w = Native(Form);
    ASSERT_NE(w, nullptr);
    for (const bool shiftReported : {true, false}) {
        SCOPED_TRACE(shiftReported);
        Input->SetFocus();
        Pump();
        const Qt::KeyboardModifiers m = shiftReported ? Qt::ShiftModifier : Qt::NoModifier;
        std::vector<TKey> keys = {Press(Qt::Key_Backtab, "\t", m), Release(Qt::Key_Backtab, "\t", m)};
        if (shiftReported) {
            keys.insert(keys.begin(), Press(Qt::Key_Shift, {}, Shift));
            keys.push_back(Release(Qt::Key_Shift));
        }
        for (const TKey& k : keys) {
            QKeyEvent e(k.Type, k.Key, k.Mods, k.Text, k.AutoRepeat);
            QCoreApplication::sendEvent(w, &e);
        }
        Pump();
        EXPECT_TRUE(c->Focused()) << "from the first control back to the last";
        EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    }
}

// A composed character (dead key, compose) comes from the input method.
TEST_F(BackendTest, ComposedCharactersArriveThroughTheInputMethod) {
    QWindow* w = Native(Form);
    ASSERT_NE(w, nullptr);
    Input->Log.clear();
    for (const char8_t* s : {u8"ё", u8"é", u8"«»"}) {
        QInputMethodEvent e;
        e.setCommitString(QString::fromUtf8(reinterpret_cast<const char*>(s)));
        QCoreApplication::sendEvent(w, &e);
    }
    Pump();
    EXPECT_EQ(Input->Joined(), "char:B8 char:AB char:BB") << "é has no 1251 form and is refused";
}

TEST(KeyTranslation, EveryRussianLetterSitsOnItsLatinKey) {
    const std::u16string upper = u"ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮЁ";
    const std::vector<uint16_t> keys = {'Q',  'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O',  'P',  0xDB,
                                        0xDD, 'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K',  'L',  0xBA,
                                        0xDE, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', 0xBC, 0xBE, 0xC0};
    ASSERT_EQ(upper.size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(qtback::VirtualKeyOf(upper[i], {}), keys[i]) << i;
        EXPECT_EQ(qtback::VirtualKeyOf(rtl::WideLowerChar(upper[i]), {}), keys[i]) << i;
    }
}

TEST_F(BackendTest, MouseArrivesInClientCoordinatesAndTheWheelGoesToTheFocus) {
    QWindow* w = Native(Form);
    ASSERT_NE(w, nullptr);
    Input->Log.clear();
    const TPoint screen = Input->ClientToScreen(Point(7, 9));
    const QPointF local = w->mapFromGlobal(QPoint(screen.X, screen.Y));
    const QPointF global(screen.X, screen.Y);
    QMouseEvent down(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &up);
    QWheelEvent wheel(local, global, QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &wheel);
    Pump();
    EXPECT_EQ(Input->Joined(), "ldown:7,9 lup wheel:-120");
}

TEST_F(BackendTest, ACloseRequestAsksTheFormWhichMayRefuse) {
    bool allow = false;
    Form->OnCloseQuery = [&](rtl::TObject*, bool& CanClose) { CanClose = allow; };
    QCloseEvent refused;
    QCoreApplication::sendEvent(Native(Form), &refused);
    Pump();
    EXPECT_TRUE(Form->Visible());
    ASSERT_NE(Native(Form), nullptr) << "the window stays while the form says no";
    allow = true;
    QCloseEvent accepted;
    QCoreApplication::sendEvent(Native(Form), &accepted);
    Pump();
    EXPECT_FALSE(Form->Visible());
    EXPECT_EQ(Native(Form), nullptr);
}

}  // namespace
}  // namespace qttest

namespace qttest {
namespace {

TEST(FileDialog, FiltersBecomeQtNameFilters) {
    const struct {
        const char8_t* Filter;
        const char8_t* Qt;
    } cases[] = {
        {u8"Текст|*.txt;*.csv|Все файлы|*.*", u8"Текст (*.txt *.csv);;Все файлы (*)"},
        {u8"Картинки|*.png; *.jpg", u8"Картинки (*.png *.jpg)"},
        {u8"", u8""},
        {u8"Без маски", u8""},  // a name without its masks is left out
    };
    for (const auto& c : cases)
        EXPECT_EQ(qtback::FileDialogFilter(rtl::UTF8ToAnsi(c.Filter)),
                  QString::fromUtf8(reinterpret_cast<const char*>(c.Qt)))
            << reinterpret_cast<const char*>(c.Filter);
}

}  // namespace
}  // namespace qttest

namespace qttest {
namespace {

// Qt reports a double click as the second press followed by a double-click event (or the event in
// place of the press); the model must see down, up, double-click, up either way.
TEST_F(BackendTest, ADoubleClickArrivesAsThePlatformsSequence) {
    QWindow* w = Native(Form);
    ASSERT_NE(w, nullptr);
    const TPoint screen = Input->ClientToScreen(Point(7, 9));
    const QPointF local = w->mapFromGlobal(QPoint(screen.X, screen.Y));
    const QPointF global(screen.X, screen.Y);
    const auto send = [&](char Kind) {
        const QEvent::Type t = Kind == 'p'   ? QEvent::MouseButtonPress
                               : Kind == 'd' ? QEvent::MouseButtonDblClick
                                             : QEvent::MouseButtonRelease;
        QMouseEvent e(t, local, global, Qt::LeftButton, Kind == 'r' ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
        Clock.Advance(50);
    };
    const struct {
        const char* Events;  // p press, r release, d double-click, + a pause longer than the double-click time
        const char* Model;
    } cases[] = {
        {"prpdr", "ldown:7,9 lup ldbl:7,9 lup"},
        {"prdr", "ldown:7,9 lup ldbl:7,9 lup"},
        {"pr+pr", "ldown:7,9 lup ldown:7,9 lup"},
        {"prpdrpr", "ldown:7,9 lup ldbl:7,9 lup ldown:7,9 lup"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Events);
        ResetDoubleClick();
        Clock.Advance(1000);
        Input->Log.clear();
        for (const char* e = c.Events; *e; ++e) {
            if (*e == '+')
                Clock.Advance(600);
            else
                send(*e);
        }
        Pump();
        EXPECT_EQ(Input->Joined(), c.Model);
    }
}

}  // namespace
}  // namespace qttest

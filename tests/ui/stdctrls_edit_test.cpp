#include "edit_fixture.h"
#include "framework/ui/StdCtrls.h"

namespace uitest {
namespace {

class EditTest : public InputTest {
protected:
    TEdit* MakeEdit(const rtl::AnsiString& Text = {}) {
        auto* e = rtl::Create<TEdit>(Form);
        e->SetParent(Form);
        e->SetBounds(10, 10, 200, 24);
        e->SetText(Text);
        e->OnChange = [this](TObject*) { ++Changes; };
        Form->Show();
        e->SetFocus();
        Changes = 0;
        return e;
    }
    int Changes = 0;
};

struct KeyCase {
    const char* Name;
    const char8_t* Text;
    int Anchor, Caret;
    std::vector<TStroke> Keys;
    const char8_t* Result;
    int SelStart, SelLength;
};

TEST_F(EditTest, KeysEditCyrillicText) {
    const KeyCase cases[] = {
        {"type at caret", u8"Опись", 2, 2, {{0, false, false, '\xE0'}}, u8"Опаись", 3, 0},
        {"typing replaces selection", u8"Опись фонда", 0, 5, {{0, false, false, '\xC0'}}, u8"А фонда", 1, 0},
        {"backspace", u8"Опись", 5, 5, {{0, false, false, '\b'}}, u8"Опис", 4, 0},
        {"backspace at start does nothing", u8"Опись", 0, 0, {{0, false, false, '\b'}}, u8"Опись", 0, 0},
        {"delete", u8"Опись", 0, 0, {K(VK_DELETE)}, u8"пись", 0, 0},
        {"shift+left selects backwards", u8"Опись", 5, 5, {SK(VK_LEFT), SK(VK_LEFT)}, u8"Опись", 3, 2},
        {"left collapses a selection to its start", u8"Опись", 1, 4, {K(VK_LEFT)}, u8"Опись", 1, 0},
        {"ctrl+right to next word", u8"Опись фонда №1", 0, 0, {CK(VK_RIGHT)}, u8"Опись фонда №1", 6, 0},
        {"ctrl+right twice", u8"Опись фонда №1", 0, 0, {CK(VK_RIGHT), CK(VK_RIGHT)}, u8"Опись фонда №1", 12, 0},
        {"ctrl+left from the end", u8"Опись фонда", 11, 11, {CK(VK_LEFT)}, u8"Опись фонда", 6, 0},
        {"ctrl+shift+left selects a word", u8"Опись фонда", 11, 11, {CSK(VK_LEFT)}, u8"Опись фонда", 6, 5},
        {"shift+home", u8"Опись фонда", 5, 5, {SK(VK_HOME)}, u8"Опись фонда", 0, 5},
        {"shift+end", u8"Опись фонда", 6, 6, {SK(VK_END)}, u8"Опись фонда", 6, 5},
        {"ctrl+delete removes to the next word", u8"Опись фонда", 0, 0, {CK(VK_DELETE)}, u8"фонда", 0, 0},
        {"up acts as left in a single line", u8"Опись", 3, 3, {K(VK_UP)}, u8"Опись", 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto* e = MakeEdit(Cp(c.Text));
        e->SetSel(c.Anchor, c.Caret);
        Strokes(c.Keys);
        EXPECT_EQ(e->Text(), Cp(c.Result));
        EXPECT_EQ(e->SelStart(), c.SelStart);
        EXPECT_EQ(e->SelLength(), c.SelLength);
        e->Free();
    }
}

TEST_F(EditTest, TypingNotifiesEachChangeAndUndoRestoresTheWholeRun) {
    auto* e = MakeEdit(Cp(u8"Фонд"));
    e->SetSel(4, 4);
    Type(Cp(u8" №5"));
    EXPECT_EQ(e->Text(), Cp(u8"Фонд №5"));
    EXPECT_EQ(Changes, 3);
    EXPECT_TRUE(e->Modified());
    // Ctrl+Z undoes the typed run at once; a second Ctrl+Z redoes it.
    Stroke(CK('Z'));
    EXPECT_EQ(e->Text(), Cp(u8"Фонд"));
    EXPECT_EQ(e->SelStart(), 4);
    Stroke(CK('Z'));
    EXPECT_EQ(e->Text(), Cp(u8"Фонд №5"));
    // A caret move ends the run: the next undo takes back only what came after it.
    Stroke(K(VK_HOME));
    Type("X");
    EXPECT_EQ(e->Text(), Cp(u8"XФонд №5"));
    e->Undo();
    EXPECT_EQ(e->Text(), Cp(u8"Фонд №5"));
}

TEST_F(EditTest, TextSetByCodeResetsCaretUndoAndModified) {
    auto* e = MakeEdit(Cp(u8"абв"));
    Type("x");
    ASSERT_TRUE(e->CanUndo());
    e->SetText(Cp(u8"где"));
    EXPECT_EQ(Changes, 2);
    EXPECT_FALSE(e->Modified());
    EXPECT_FALSE(e->CanUndo());
    EXPECT_EQ(e->SelStart(), 0);
}

TEST_F(EditTest, ClipboardCutCopyPasteAndRefusals) {
    auto* e = MakeEdit(Cp(u8"Акт приёма"));
    e->SetSel(4, 10);
    Stroke(CK('C'));
    EXPECT_EQ(Clipboard()->AsText(), Cp(u8"приёма"));
    Stroke(CK('X'));
    EXPECT_EQ(e->Text(), Cp(u8"Акт "));
    Stroke(SK(VK_INSERT));
    EXPECT_EQ(e->Text(), Cp(u8"Акт приёма"));

    // Text with a character 1251 lacks is refused whole, never stored as '?'.
    Clipboard()->SetAsWideText(u"опись \u4E2D");
    const int beeps = MessageBeepCount();
    Stroke(CK('V'));
    EXPECT_EQ(e->Text(), Cp(u8"Акт приёма"));
    EXPECT_EQ(MessageBeepCount(), beeps + 1);

    // Line breaks in a single-line edit keep every line, joined by spaces.
    Clipboard()->SetAsWideText(u"\u0443\u043b. \u041c\u0438\u0440\u0430\r\n\u0434. 5\n\u043a\u0432. 2");
    e->SelectAll();
    Stroke(CK('V'));
    EXPECT_EQ(e->Text(), Cp(u8"ул. Мира д. 5 кв. 2"));

    // A password edit gives nothing away.
    e->SetPasswordChar('*');
    e->SelectAll();
    Clipboard()->SetAsText("keep");
    Stroke(CK('C'));
    EXPECT_EQ(Clipboard()->AsText(), "keep");
}

TEST_F(EditTest, MaxLengthStopsTypingAndCutsPastes) {
    auto* e = MakeEdit("");
    e->SetMaxLength(5);
    Type(Cp(u8"Москва"));
    EXPECT_EQ(e->Text(), Cp(u8"Москв"));
    // A paste is cut to the room left.
    Clipboard()->SetAsText("123");
    e->SetSel(1, 1);
    Stroke(CK('V'));
    EXPECT_EQ(e->Text(), Cp(u8"Москв"));
    e->SetSel(0, 2);
    Stroke(CK('V'));
    EXPECT_EQ(e->Text(), Cp(u8"12скв"));
}

TEST_F(EditTest, MaxLengthCutsAPasteToTheRoomLeft) {
    auto* e = MakeEdit(Cp(u8"ab"));
    e->SetMaxLength(4);
    Clipboard()->SetAsText("12345");
    e->SetSel(2, 2);
    Stroke(CK('V'));
    EXPECT_EQ(e->Text(), "ab12");
}

TEST_F(EditTest, ReadOnlyRefusesEditsButCopies) {
    auto* e = MakeEdit(Cp(u8"Фонд"));
    e->SetReadOnly(true);
    e->SelectAll();
    Type("x");
    Stroke(K(VK_DELETE));
    Stroke(CK('X'));
    EXPECT_EQ(e->Text(), Cp(u8"Фонд"));
    EXPECT_EQ(Changes, 0);
    Stroke(CK('C'));
    EXPECT_EQ(Clipboard()->AsText(), Cp(u8"Фонд"));
}

TEST_F(EditTest, CharCaseAppliesToTypedPastedAndSetText) {
    auto* e = MakeEdit("");
    e->SetCharCase(ecUpperCase);
    Type(Cp(u8"ёж"));
    Clipboard()->SetAsText(Cp(u8"ик"));
    Stroke(CK('V'));
    EXPECT_EQ(e->Text(), Cp(u8"ЁЖИК"));
    e->SetCharCase(ecLowerCase);
    EXPECT_EQ(e->Text(), Cp(u8"ёжик"));
    e->SetText(Cp(u8"ДОМ"));
    EXPECT_EQ(e->Text(), Cp(u8"дом"));
}

TEST_F(EditTest, MouseSelectsByClickShiftClickDragAndDoubleClick) {
    // Each character of the default font is 6 pixels wide; the text starts at x = 1.
    auto* e = MakeEdit(Cp(u8"Опись фонда"));
    Click(e, 1 + 6 * 2 + 1, 5);
    EXPECT_EQ(e->SelStart(), 2);
    EXPECT_EQ(e->SelLength(), 0);
    Click(e, 1 + 6 * 9 + 1, 5, true);
    EXPECT_EQ(e->SelStart(), 2);
    EXPECT_EQ(e->SelLength(), 7);

    MouseInput(WM_LBUTTONDOWN, At(e, 1 + 6 * 8, 5));
    MouseInput(WM_MOUSEMOVE, At(e, 1 + 6 * 4, 5));
    MouseInput(WM_MOUSEMOVE, At(e, 1 + 6 * 1, 5));
    MouseInput(WM_LBUTTONUP, At(e, 1 + 6 * 1, 5));
    Pump();
    EXPECT_EQ(e->SelStart(), 1);
    EXPECT_EQ(e->SelLength(), 7);
    EXPECT_EQ(e->CaretPos(), 1);
    ResetDoubleClick();

    MouseInput(WM_LBUTTONDOWN, At(e, 1 + 6 * 7 + 2, 5));
    MouseInput(WM_LBUTTONUP, At(e, 1 + 6 * 7 + 2, 5));
    MouseInput(WM_LBUTTONDOWN, At(e, 1 + 6 * 7 + 2, 5));
    MouseInput(WM_LBUTTONUP, At(e, 1 + 6 * 7 + 2, 5));
    Pump();
    EXPECT_EQ(e->SelText(), Cp(u8"фонда"));
}

TEST_F(EditTest, AutoSelectOnEnterAndEditMessages) {
    auto* other = MakeEdit("");
    auto* e = rtl::Create<TEdit>(Form);
    e->SetParent(Form);
    e->SetBounds(10, 50, 100, 24);
    e->SetText(Cp(u8"Архив"));
    e->SetFocus();
    EXPECT_EQ(e->SelLength(), 5);
    (void)other;

    e->Perform(EM_SETSEL, 1, 3);
    uint32_t s = 0, en = 0;
    e->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&en));
    EXPECT_EQ(s, 1u);
    EXPECT_EQ(en, 3u);
    // Select all with the caret at the end; then the caret at the end with nothing selected.
    e->Perform(EM_SETSEL, 2147483647, 0);
    EXPECT_EQ(e->SelLength(), 5);
    EXPECT_EQ(e->CaretPos(), 5);
    e->Perform(EM_SETSEL, 2147483647, static_cast<LPARAM>(-1));
    EXPECT_EQ(e->SelStart(), 5);
    EXPECT_EQ(e->SelLength(), 0);

    const std::string add = "1";
    e->Perform(EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(add.c_str()));
    EXPECT_EQ(e->Text(), Cp(u8"Архив1"));
    EXPECT_EQ(e->Perform(EM_CANUNDO), 1);
    EXPECT_EQ(e->Perform(EM_GETMODIFY), 1);

    // The formatting rectangle: set without redraw, read back, and used for hit tests.
    TRect r = Rect(20, 2, 90, 20);
    e->Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
    TRect got;
    e->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&got));
    EXPECT_EQ(got, r);
    const LRESULT hit = e->Perform(EM_CHARFROMPOS, 0, PointToLParam(20 + 6 * 2 + 1, 5));
    EXPECT_EQ(hit & 0xFFFF, 2);
    EXPECT_EQ(e->PosFromChar(3).X, 20 + 6 * 3);
}

TEST_F(EditTest, ChangeReachesTheControlThroughItsParent) {
    MakeEdit("");
    std::vector<UINT> codes;
    Form->WindowProc = [&, this](TMessage& M) {
        if (M.Msg == WM_COMMAND) codes.push_back(M.WParamHi);
        Form->WndProc(M);
    };
    Type("a");
    EXPECT_EQ(codes, std::vector<UINT>{EN_CHANGE});
    EXPECT_EQ(Changes, 1);
    Form->WindowProc = nullptr;
}

TEST_F(EditTest, LongTextScrollsToKeepTheCaretInView) {
    auto* e = MakeEdit("");
    e->SetWidth(60);
    Type("0123456789012345");
    EXPECT_GT(e->ScrollX(), 0);
    const TPoint caret = e->PosFromChar(e->CaretPos());
    EXPECT_GE(caret.X, e->EditRect().Left);
    EXPECT_LE(caret.X, e->EditRect().Right);
    Stroke(K(VK_HOME));
    EXPECT_EQ(e->ScrollX(), 0);
}

class MemoTest : public InputTest {};

// The memo's own bars move the view: arrows, paging, ends and the thumb, while the caret keeps its
// place in the text and the bars follow the caret when it moves.
TEST_F(MemoTest, ScrollBarsMoveTheViewAndKeepTheCaretInStep) {
    auto* m = rtl::Create<TMemo>(Form);
    m->SetParent(Form);
    m->SetBounds(10, 10, 200, 100);
    m->SetScrollBars(TScrollStyle::ssBoth);
    m->SetWordWrap(false);
    rtl::AnsiString text;
    for (int i = 0; i < 100; ++i) text += (i ? "\r\n" : "") + ("Line " + std::to_string(i));
    text += " and a line much wider than the memo can show at once";
    m->SetText(text);
    Form->Show();
    m->SetFocus();
    Pump();
    const auto top = [&] { return static_cast<int>(m->Perform(EM_GETFIRSTVISIBLELINE, 0, 0)); };
    TScrollInfo si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(m->GetScrollInfo(SB_VERT, si));
    EXPECT_EQ(si.nMax, 99);
    const int page = static_cast<int>(si.nPage);
    ASSERT_GT(page, 1);
    const int last = 100 - page;
    const auto scroll = [&](UINT Msg, int Code, int Pos = 0) {
        SendMessage(m->Handle(), Msg, MakeWParam(Code, Pos), 0);
    };
    struct TCase {
        int Code, Pos, Top;
    };
    const TCase cases[] = {
        {SB_LINEDOWN, 0, 1},    {SB_PAGEDOWN, 0, 1 + page}, {SB_LINEUP, 0, page},       {SB_BOTTOM, 0, last},
        {SB_LINEDOWN, 0, last}, {SB_PAGEDOWN, 0, last},     {SB_THUMBPOSITION, 40, 40}, {SB_PAGEUP, 0, 40 - page},
        {SB_TOP, 0, 0},         {SB_LINEUP, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Code);
        scroll(WM_VSCROLL, c.Code, c.Pos);
        EXPECT_EQ(top(), c.Top);
        EXPECT_EQ(m->GetScrollPos(SB_VERT), c.Top);
        EXPECT_EQ(m->CaretPos(), 0) << "scrolling leaves the caret in the text";
        EXPECT_EQ(CaretState().Rect.Top, m->PosFromChar(0).Y) << "and the caret moves with its line";
    }
    // The mouse on the bar: the down arrow moves a line, the thumb drags the view along.
    const TRect w = m->WindowRectOnScreen();
    MouseInput(WM_LBUTTONDOWN, Point(w.Right - 6, w.Bottom - 17 - 6));
    MouseInput(WM_LBUTTONUP, Point(w.Right - 6, w.Bottom - 17 - 6));
    Pump();
    EXPECT_EQ(top(), 1);
    const TPoint onThumb = Point(w.Right - 6, w.Top + 17 + 5);
    ASSERT_EQ(SendMessage(m->Handle(), WM_NCHITTEST, 0, PointToLParam(onThumb.X, onThumb.Y)), HTVSCROLL);
    MouseInput(WM_LBUTTONDOWN, onThumb);
    MouseInput(WM_MOUSEMOVE, Point(onThumb.X, onThumb.Y + 25));
    Pump();
    const int dragged = top();
    EXPECT_GT(dragged, 10) << "the view follows the thumb while it is dragged";
    MouseInput(WM_LBUTTONUP, Point(onThumb.X, onThumb.Y + 25));
    Pump();
    EXPECT_EQ(top(), dragged);
    EXPECT_EQ(m->GetScrollPos(SB_VERT), dragged);
    EXPECT_EQ(m->CaretPos(), 0);
    // Moving the caret brings its line into view and the bar with it.
    Stroke(CK(VK_END));
    EXPECT_EQ(top(), last);
    EXPECT_EQ(m->GetScrollPos(SB_VERT), last);
    EXPECT_GT(m->GetScrollPos(SB_HORZ), 0);
    EXPECT_EQ(m->GetScrollPos(SB_HORZ), m->ScrollX());
    // Across: arrows by a step, the ends, and nothing past the widest line.
    scroll(WM_HSCROLL, SB_TOP);
    EXPECT_EQ(m->ScrollX(), 0);
    scroll(WM_HSCROLL, SB_LINEDOWN);
    const int step = m->ScrollX();
    EXPECT_GT(step, 0);
    EXPECT_EQ(m->GetScrollPos(SB_HORZ), step);
    scroll(WM_HSCROLL, SB_BOTTOM);
    si.fMask = SIF_ALL;
    m->GetScrollInfo(SB_HORZ, si);
    EXPECT_EQ(m->ScrollX(), si.nMax - static_cast<int>(si.nPage) + 1);
    scroll(WM_HSCROLL, SB_PAGEDOWN);
    EXPECT_EQ(m->ScrollX(), si.nMax - static_cast<int>(si.nPage) + 1);
    // A single-line edit has no bars of its own to follow.
    auto* e = rtl::Create<TEdit>(Form);
    e->SetParent(Form);
    e->SetText("abc");
    SendMessage(e->Handle(), WM_VSCROLL, MakeWParam(SB_BOTTOM, 0), 0);
    EXPECT_EQ(e->Perform(EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(MemoTest, LinesEnterAndVerticalMoves) {
    auto* m = rtl::Create<TMemo>(Form);
    m->SetParent(Form);
    m->SetBounds(0, 0, 200, 100);
    Form->Show();
    m->SetFocus();
    m->Lines()->Add(Cp(u8"первая"));
    m->Lines()->Add(Cp(u8"вторая строка"));
    EXPECT_EQ(m->Text(), Cp(u8"первая\r\nвторая строка"));
    EXPECT_EQ(m->Lines()->Count(), 2);
    m->SetSel(3, 3);
    Stroke(K(VK_DOWN));
    EXPECT_EQ(m->CaretPosition(), Point(3, 1));
    Stroke(K(VK_END));
    Stroke(K(VK_RETURN));
    Type(Cp(u8"три"));
    EXPECT_EQ(m->Lines()->Count(), 3);
    EXPECT_EQ(m->Lines()->Strings(2), Cp(u8"три"));
    // Backspace at a line start joins the lines; a line break is one step for the caret.
    Stroke(K(VK_HOME));
    Stroke(K(VK_BACK));
    EXPECT_EQ(m->Lines()->Strings(1), Cp(u8"вторая строкатри"));
    Stroke(K(VK_UP));
    EXPECT_EQ(m->CaretPosition().Y, 0);
    // Pasted line breaks of any kind become the memo's.
    Clipboard()->SetAsText("a\nb\rc");
    m->SelectAll();
    Stroke(CK('V'));
    EXPECT_EQ(m->Text(), "a\r\nb\r\nc");
    m->Lines()->Delete(1);
    EXPECT_EQ(m->Text(), "a\r\nc");
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

// The caret: where typing goes, shown only in the focused edit, blinking on the clock.
TEST_F(EditTest, CaretFollowsTheSelectionAndTheFocusAndBlinks) {
    auto* other = MakeEdit("");
    auto* e = MakeEdit(Cp(u8"Опись фонда"));  // focused, all selected, caret at the end
    const auto caretX = [] {
        TPoint p;
        EXPECT_TRUE(GetCaretPos(p));
        return p.X;
    };
    EXPECT_EQ(CaretState().Owner, e->Handle());
    EXPECT_TRUE(CaretState().Shown);
    EXPECT_EQ(CaretState().Rect.Height(), 11);
    // Six pixels a character from x = 1.
    struct {
        const char* Name;
        std::vector<TStroke> Keys;
        int X;
    } cases[] = {
        {"end of the selected text", {}, 1 + 6 * 11},
        {"home", {K(VK_HOME)}, 1},
        {"shift+right moves the selection's moving end", {SK(VK_RIGHT), SK(VK_RIGHT)}, 1 + 6 * 2},
        {"typing over the selection", {{0, false, false, 'x'}}, 1 + 6 * 1},
        {"ctrl+right to the next word", {CK(VK_RIGHT)}, 1 + 6 * 5},
        {"ctrl+a selects all, the caret at the end", {CK('A')}, 1 + 6 * 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Strokes(c.Keys);
        EXPECT_EQ(caretX(), c.X);
        EXPECT_TRUE(CaretState().Drawn) << "moving shows the caret at once";
    }
    Click(e, 1 + 6 * 4 + 1, 5);
    EXPECT_EQ(caretX(), 1 + 6 * 4);

    // Drawn inverted over the edit's painting, and blinking off and on again.
    Pump();
    Form->Update();
    auto& rec = *static_cast<TRecordingSurface*>(Form->Surface());
    rec.Clear();
    Clock.Advance(GetCaretBlinkTime());
    rtl::ProcessTimers();
    EXPECT_FALSE(CaretState().Drawn);
    Form->Update();
    const auto inverted = [&] {
        int n = 0;
        for (const TDrawRecord* r : rec.OfKind(TDrawOp::FillRect))
            n += r->Rop == DSTINVERT && r->Rect == Bounds(e->Left() + 2 + 1 + 6 * 4, e->Top() + 2, 1, 11);
        return n;
    };
    EXPECT_EQ(inverted(), 0);
    EXPECT_FALSE(rec.Records().empty()) << "the caret's pixels painted again without it";
    rec.Clear();
    Clock.Advance(GetCaretBlinkTime());
    rtl::ProcessTimers();
    EXPECT_TRUE(CaretState().Drawn);
    Form->Update();
    EXPECT_EQ(inverted(), 1);

    // The focus takes the caret along; a drop-down list and a button show none.
    other->SetFocus();
    EXPECT_EQ(CaretState().Owner, other->Handle());
    auto* list = rtl::Create<TComboBox>(Form);
    list->SetParent(Form);
    list->SetStyle(csDropDownList);
    list->SetBounds(10, 100, 150, 24);
    list->SetFocus();
    EXPECT_EQ(CaretState().Owner, 0u);
    other->SetFocus();
    EXPECT_TRUE(CaretState().Shown);
    Form->Hide();
    EXPECT_EQ(CaretState().Owner, 0u) << "a hidden form's edit loses the focus and its caret";
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

// What the user selects becomes the primary selection, for middle-click pasting elsewhere.
TEST_F(EditTest, AUserSelectionBecomesThePrimarySelection) {
    auto* e = MakeEdit(Cp(u8"Опись фонда"));
    std::vector<AnsiString> shared;
    SetPrimarySelectionHandler([&](const AnsiString& T) { shared.push_back(T); });
    const struct {
        const char* Name;
        std::function<void()> Act;
        const char8_t* Want;
    } cases[] = {
        {"shift+arrows",
         [&] {
             Strokes({K(VK_HOME), SK(VK_RIGHT), SK(VK_RIGHT)});
         },
         u8"Оп"},
        {"a drag, shared when the button goes up",
         [&] {
             MouseInput(WM_LBUTTONDOWN, At(e, 1 + 6 * 6, 5));
             MouseInput(WM_MOUSEMOVE, At(e, 1 + 6 * 11, 5));
             EXPECT_TRUE(shared.empty());
             MouseInput(WM_LBUTTONUP, At(e, 1 + 6 * 11, 5));
             Pump();
             ResetDoubleClick();
         },
         u8"фонда"},
        {"a double click on a word",
         [&] {
             Clock.Advance(1000);
             for (int i = 0; i < 2; ++i) {
                 MouseInput(WM_LBUTTONDOWN, At(e, 1 + 6 * 2, 5));
                 MouseInput(WM_LBUTTONUP, At(e, 1 + 6 * 2, 5));
             }
             Pump();
             ResetDoubleClick();
         },
         u8"Опись"},
        {"ctrl+a", [&] { Stroke(CK('A')); }, u8"Опись фонда"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        shared.clear();
        c.Act();
        ASSERT_FALSE(shared.empty());
        EXPECT_EQ(shared.back(), Cp(c.Want));
        EXPECT_EQ(PrimarySelection(), Cp(c.Want));
    }
    // Selections made by code and a password's never leave the edit.
    shared.clear();
    e->SetSel(0, 3);
    e->SetPasswordChar('*');
    Stroke(CK('A'));
    EXPECT_TRUE(shared.empty());
    SetPrimarySelectionHandler({});
}

}  // namespace
}  // namespace uitest

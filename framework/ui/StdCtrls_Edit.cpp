// The edit engine: caret, selection, keyboard and mouse editing, undo and the clipboard on 1251
// text, single- and multi-line, and the edit messages.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/rtl/Text.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"

namespace ui {

namespace {
int gBeepCount = 0;
std::function<void(UINT)>& BeepHandler() {
    static std::function<void(UINT)> h;
    return h;
}

bool IsBreak(const AnsiString& S, int Pos) {
    return Pos >= 0 && Pos + 1 < static_cast<int>(S.size()) && S[Pos] == '\r' && S[Pos + 1] == '\n';
}
}  // namespace

void MessageBeep(UINT Type) {
    ++gBeepCount;
    if (BeepHandler()) BeepHandler()(Type);
}
int MessageBeepCount() { return gBeepCount; }
void SetMessageBeepHandler(std::function<void(UINT)> Handler) { BeepHandler() = std::move(Handler); }

namespace {
struct TPrimarySelection {
    AnsiString Text;
    std::function<void(const AnsiString&)> Handler;
};
TPrimarySelection& Primary() {
    static TPrimarySelection p;
    return p;
}
}  // namespace

void SetPrimarySelection(const AnsiString& Text) {
    Primary().Text = Text;
    if (Primary().Handler) Primary().Handler(Text);
}
AnsiString PrimarySelection() { return Primary().Text; }
void SetPrimarySelectionHandler(std::function<void(const AnsiString&)> Handler) {
    Primary().Handler = std::move(Handler);
}

// ---------------------------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* Owner) : TWinControl(Owner) {
    SetBounds(0, 0, 121, 25);
    SetTabStop(true);
    SetParentColor(false);
    FColor = clWindow;
    FCursor = crIBeam;
    FControlStyle = TControlStyle{csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight};
}

TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_TABSTOP;
    if (FMultiLine) Params.Style |= ES_MULTILINE;
    if (FBorderStyle == TBorderStyle::bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
    if (FReadOnly) Params.Style |= ES_READONLY;
    if (!FHideSelection) Params.Style |= ES_NOHIDESEL;
    if (FCharCase == ecUpperCase) Params.Style |= ES_UPPERCASE;
    if (FCharCase == ecLowerCase) Params.Style |= ES_LOWERCASE;
    if (FPasswordChar != 0) Params.Style |= ES_PASSWORD;
    Params.WinClassName = "EDIT";
}

void TCustomEdit::CreateWnd() {
    TWinControl::CreateWnd();
    FRectSet = false;
    ResetEditRect();
    AdjustHeight();
}

void TCustomEdit::AdjustHeight() {
    if (!FAutoSize || MultiLine() || FBorderStyle != TBorderStyle::bsSingle) return;
    const int h = LineHeight() + 2 * BorderWidthNC() + 2;
    if (h != Height()) SetHeight(h);
}

void TCustomEdit::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    if (HandleAllocated()) AdjustHeight();
}

void TCustomEdit::ResetEditRect() {
    if (FRectSet) return;
    const TRect c = GetClientRect();
    FRect = Rect(FLeftMargin, 0, std::max(FLeftMargin, c.Right - FRightMargin), c.Bottom);
    ScrollCaret();
}

void TCustomEdit::WMSize(TWMSize& Message) {
    TWinControl::WMSize(Message);
    FRectSet = false;
    ResetEditRect();
    Invalidate();
}

void TCustomEdit::CMFontChanged(TMessage& Message) {
    TWinControl::CMFontChanged(Message);
    if (HandleAllocated()) {
        AdjustHeight();
        ResetEditRect();
    }
}

void TCustomEdit::SetMaxLength(int Value) {
    FMaxLength = Value;
    if (HandleAllocated()) Perform(EM_LIMITTEXT, static_cast<WPARAM>(std::max(Value, 0)));
}

void TCustomEdit::SetReadOnly(bool Value) {
    FReadOnly = Value;
    if (HandleAllocated()) Perform(EM_SETREADONLY, Value ? 1 : 0);
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
    if (FCharCase == Value) return;
    FCharCase = Value;
    if (Value == ecUpperCase)
        SetTextDirect(rtl::AnsiUpperCase(FText));
    else if (Value == ecLowerCase)
        SetTextDirect(rtl::AnsiLowerCase(FText));
}

void TCustomEdit::SetPasswordChar(char Value) {
    if (FPasswordChar == Value) return;
    FPasswordChar = Value;
    Invalidate();
}

void TCustomEdit::SetHideSelection(bool Value) {
    FHideSelection = Value;
    Invalidate();
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
    if (FBorderStyle == Value) return;
    FBorderStyle = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomEdit::SetTextDirect(const AnsiString& Value) {
    FText = Value;
    const int n = static_cast<int>(FText.size());
    FAnchor = std::clamp(FAnchor, 0, n);
    FCaret = std::clamp(FCaret, 0, n);
    UpdateScrollBars();
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Selection

void TCustomEdit::SetSel(int Anchor, int Caret) {
    const int n = static_cast<int>(FText.size());
    Anchor = std::clamp(Anchor, 0, n);
    Caret = std::clamp(Caret, 0, n);
    // Never split a line break.
    if (IsBreak(FText, Anchor - 1)) --Anchor;
    if (IsBreak(FText, Caret - 1)) --Caret;
    FAnchor = Anchor;
    FCaret = Caret;
    FTypingRun = false;
    ScrollCaret();
    Invalidate();
}

void TCustomEdit::SetSelStart(int Value) { SetSel(Value, Value); }

void TCustomEdit::SetSelLength(int Value) {
    const int s = SelStart();
    SetSel(s, s + std::max(Value, 0));
}

AnsiString TCustomEdit::SelText() const { return FText.substr(SelStart(), SelLength()); }

void TCustomEdit::SetSelText(const AnsiString& Value) { ReplaceSelection(Value, false); }

void TCustomEdit::SelectAll() { SetSel(0, static_cast<int>(FText.size())); }

void TCustomEdit::ClearSelection() {
    if (SelLength() > 0) ReplaceSelection(AnsiString(), true);
}

// ---------------------------------------------------------------------------------------------
// Changes

void TCustomEdit::SaveUndo() {
    FUndo.Valid = true;
    FUndo.Text = FText;
    FUndo.Anchor = FAnchor;
    FUndo.Caret = FCaret;
}

bool TCustomEdit::ReplaceSelection(const AnsiString& Value, bool CanUndo, bool Typing) {
    AnsiString v;
    v.reserve(Value.size());
    // A single-line edit keeps every pasted line, joined by spaces, instead of dropping the rest.
    for (size_t i = 0; i < Value.size(); ++i) {
        const char c = Value[i];
        if (c == '\0') break;
        if (!MultiLine() && (c == '\r' || c == '\n')) {
            if (c == '\r' && i + 1 < Value.size() && Value[i + 1] == '\n') ++i;
            v += ' ';
        } else if (MultiLine() && c == '\n' && (i == 0 || Value[i - 1] != '\r')) {
            v += "\r\n";
        } else if (MultiLine() && c == '\r' && (i + 1 >= Value.size() || Value[i + 1] != '\n')) {
            v += "\r\n";
        } else {
            v += c;
        }
    }
    if (FCharCase == ecUpperCase)
        v = rtl::AnsiUpperCase(v);
    else if (FCharCase == ecLowerCase)
        v = rtl::AnsiLowerCase(v);
    const int start = SelStart();
    const int len = SelLength();
    if (FMaxLength > 0) {
        const int room = FMaxLength - (static_cast<int>(FText.size()) - len);
        if (static_cast<int>(v.size()) > room) {
            MessageBeep();
            if (room <= 0 && len == 0) return false;
            int keep = std::max(room, 0);
            if (keep > 0 && IsBreak(v, keep - 1)) --keep;
            v.resize(keep);
        }
    }
    if (v.empty() && len == 0) return false;
    if (CanUndo && !(Typing && FTypingRun && len == 0)) SaveUndo();
    FText.replace(start, len, v);
    FAnchor = FCaret = start + static_cast<int>(v.size());
    FTypingRun = Typing;
    FModified = true;
    ScrollCaret();
    Invalidate();
    NotifyChange();
    return true;
}

void TCustomEdit::DoUndo() {
    if (!FUndo.Valid) return;
    std::swap(FText, FUndo.Text);
    std::swap(FAnchor, FUndo.Anchor);
    std::swap(FCaret, FUndo.Caret);
    FTypingRun = false;
    FModified = true;
    ScrollCaret();
    Invalidate();
    NotifyChange();
}

void TCustomEdit::DoClear() {
    if (FReadOnly)
        MessageBeep();
    else
        ClearSelection();
}

void TCustomEdit::TextEdited(const AnsiString& NewText, int Caret) {
    SaveUndo();
    FText = NewText;
    FAnchor = FCaret = std::clamp(Caret, 0, static_cast<int>(FText.size()));
    FTypingRun = false;
    FModified = true;
    ScrollCaret();
    Invalidate();
    NotifyChange();
}

void TCustomEdit::NotifyChange() {
    if (FParent && FParent->HandleAllocated() && HandleAllocated())
        SendMessage(FParent->Handle(), WM_COMMAND, MakeWParam(0, EN_CHANGE), static_cast<LPARAM>(FHandle));
    else
        Perform(CN_COMMAND, MakeWParam(0, EN_CHANGE), static_cast<LPARAM>(FHandle));
}

void TCustomEdit::CNCommand(TWMCommand& Message) {
    if (Message.NotifyCode == EN_CHANGE && !FInSetText) Change();
}

void TCustomEdit::Change() {
    TControl::Changed();
    if (OnChange) OnChange(this);
}

void TCustomEdit::CMTextChanged(TMessage& Message) {
    (void)Message;
    // Text set by code: the window starts over.
    if (FCharCase == ecUpperCase)
        FText = rtl::AnsiUpperCase(FText);
    else if (FCharCase == ecLowerCase)
        FText = rtl::AnsiLowerCase(FText);
    FAnchor = FCaret = 0;
    FScrollX = 0;
    FTopLine = 0;
    FUndo.Valid = false;
    FTypingRun = false;
    FModified = false;
    UpdateScrollBars();
    Invalidate();
    NotifyChange();
}

// ---------------------------------------------------------------------------------------------
// Clipboard

bool TCustomEdit::ClipboardText(AnsiString& Text) {
    const rtl::WideString w = Clipboard()->AsWideText();
    for (char16_t c : w) {
        if (c == 0) break;
        if (!rtl::WideCharInAnsi(c)) return false;
    }
    Text = rtl::WideToAnsi(w);
    if (auto z = Text.find('\0'); z != AnsiString::npos) Text.resize(z);
    return true;
}

void TCustomEdit::DoCopy() {
    if (SelLength() == 0 || FPasswordChar != 0) return;
    Clipboard()->SetAsText(SelText());
}

void TCustomEdit::DoCut() {
    if (FReadOnly || FPasswordChar != 0) {
        if (FReadOnly) MessageBeep();
        return;
    }
    if (SelLength() == 0) return;
    Clipboard()->SetAsText(SelText());
    ReplaceSelection(AnsiString(), true);
}

void TCustomEdit::DoPaste() {
    if (FReadOnly) {
        MessageBeep();
        return;
    }
    AnsiString t;
    // A character with no 1251 form would become '?': the paste is refused instead.
    if (!ClipboardText(t)) {
        MessageBeep();
        return;
    }
    if (t.empty()) return;
    ReplaceSelection(t, true);
}

// ---------------------------------------------------------------------------------------------
// Lines and geometry

int TCustomEdit::LineCount() const {
    if (!MultiLine()) return 1;
    int n = 1;
    for (size_t i = 0; i + 1 < FText.size(); ++i)
        if (FText[i] == '\r' && FText[i + 1] == '\n') ++n;
    return n;
}

int TCustomEdit::LineFromChar(int Pos) const {
    if (!MultiLine()) return 0;
    Pos = std::clamp(Pos, 0, static_cast<int>(FText.size()));
    int n = 0;
    for (int i = 0; i + 1 < static_cast<int>(FText.size()) && i < Pos; ++i)
        if (IsBreak(FText, i) && i + 2 <= Pos) ++n;
    return n;
}

int TCustomEdit::LineIndex(int Line) const {
    if (Line <= 0) return 0;
    int n = 0;
    for (int i = 0; i + 1 < static_cast<int>(FText.size()); ++i) {
        if (IsBreak(FText, i) && ++n == Line) return i + 2;
    }
    return -1;
}

int TCustomEdit::LineEnd(int Line) const {
    const int s = LineIndex(Line);
    if (s < 0) return static_cast<int>(FText.size());
    const auto e = FText.find("\r\n", s);
    return e == AnsiString::npos ? static_cast<int>(FText.size()) : static_cast<int>(e);
}

AnsiString TCustomEdit::DisplayText(std::string_view Part) const {
    if (FPasswordChar != 0 && !MultiLine()) return AnsiString(Part.size(), FPasswordChar);
    return AnsiString(Part);
}

int TCustomEdit::TextWidthOf(std::string_view Part) { return MeasureTextExtent(DisplayText(Part)).cx; }

int TCustomEdit::LineHeight() { return std::max(1, MeasureTextMetrics().tmHeight); }

TPoint TCustomEdit::PosFromChar(int Pos) {
    Pos = std::clamp(Pos, 0, static_cast<int>(FText.size()));
    const int line = LineFromChar(Pos);
    const int start = LineIndex(line);
    const int x = TextWidthOf(std::string_view(FText).substr(start, Pos - start));
    return Point(FRect.Left + x - FScrollX, FRect.Top + (line - FTopLine) * LineHeight());
}

int TCustomEdit::CharFromPos(TPoint P) {
    int line = 0;
    if (MultiLine())
        line = std::clamp(FTopLine + (P.Y - FRect.Top) / LineHeight() - (P.Y < FRect.Top ? 1 : 0), 0, LineCount() - 1);
    const int start = LineIndex(line);
    const int end = LineEnd(line);
    const int x = P.X - FRect.Left + FScrollX;
    int prev = 0;
    for (int i = start; i < end; ++i) {
        const int w = TextWidthOf(std::string_view(FText).substr(start, i + 1 - start));
        if (x < (prev + w + 1) / 2) return i;
        prev = w;
    }
    return end;
}

void TCustomEdit::ScrollCaret() {
    ScrollToCaret();
    UpdateScrollBars();
    PlaceCaret();
}

int TCustomEdit::WidestLine() {
    int widest = 0;
    for (int l = 0, n = LineCount(); l < n; ++l) {
        const int s = LineIndex(l);
        widest = std::max(widest, TextWidthOf(std::string_view(FText).substr(s, LineEnd(l) - s)));
    }
    return widest;
}

void TCustomEdit::UpdateScrollBars() {
    if (!HandleAllocated() || !MultiLine()) return;
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    if (WindowStyle() & WS_VSCROLL) {
        si.nMax = std::max(0, LineCount() - 1);
        si.nPage = static_cast<UINT>(std::max(1, FRect.Height() / LineHeight()));
        si.nPos = FTopLine;
        SetScrollInfo(SB_VERT, si);
    }
    if (WindowStyle() & WS_HSCROLL) {
        // One pixel past the widest line leaves room for the caret at its end.
        si.nMax = WidestLine();
        si.nPage = static_cast<UINT>(std::max(1, FRect.Width()));
        si.nPos = FScrollX;
        SetScrollInfo(SB_HORZ, si);
    }
}

// The view moves; the caret keeps its place in the text and follows it on screen.
void TCustomEdit::ScrollView(int Bar, int Code, int ThumbPos) {
    TScrollInfo si;
    si.fMask = SIF_ALL;
    GetScrollInfo(Bar, si);
    const bool vert = Bar == SB_VERT;
    const int page = std::max(1, static_cast<int>(si.nPage));
    const int line = vert ? 1 : std::max(1, TextWidthOf("0"));
    const int cur = vert ? FTopLine : FScrollX;
    int to = cur;
    switch (Code) {
        case SB_LINEUP: to = cur - line; break;
        case SB_LINEDOWN: to = cur + line; break;
        case SB_PAGEUP: to = cur - page; break;
        case SB_PAGEDOWN: to = cur + page; break;
        case SB_THUMBTRACK: to = si.nTrackPos; break;
        case SB_THUMBPOSITION: to = ThumbPos; break;
        case SB_TOP: to = 0; break;
        case SB_BOTTOM: to = si.nMax; break;
        default: return;
    }
    to = std::clamp(to, 0, std::max(0, si.nMax - page + 1));
    if (to == cur) return;
    (vert ? FTopLine : FScrollX) = to;
    UpdateScrollBars();
    PlaceCaret();
    Invalidate();
}

void TCustomEdit::PlaceCaret() {
    if (!FFocused || !HandleAllocated() || CaretState().Owner != FHandle) return;
    const TPoint p = PosFromChar(FCaret);
    SetCaretPos(p.X, p.Y);
}

void TCustomEdit::ScrollToCaret() {
    if (FRect.Right <= FRect.Left) return;
    const int line = LineFromChar(FCaret);
    const int start = LineIndex(line);
    const int x = TextWidthOf(std::string_view(FText).substr(start, FCaret - start));
    const int width = FRect.Width();
    if (x < FScrollX)
        FScrollX = std::max(0, x - (MultiLine() ? 0 : width / 4));
    else if (x - FScrollX >= width)
        FScrollX = x - width + 1;
    if (MultiLine()) {
        const int visible = std::max(1, FRect.Height() / LineHeight());
        if (line < FTopLine)
            FTopLine = line;
        else if (line >= FTopLine + visible)
            FTopLine = line - visible + 1;
    }
}

bool TCustomEdit::IsWordChar(char C) noexcept {
    const auto u = static_cast<unsigned char>(C);
    if (u >= 0xC0) return true;
    if ((C >= '0' && C <= '9') || C == '_') return true;
    return rtl::AnsiUpperChar(C) != rtl::AnsiLowerChar(C);
}

// Word moves stop at the start of words, as the platform's edit does.
int TCustomEdit::WordLeft(int Pos) const {
    if (Pos <= 0) return 0;
    int i = Pos;
    if (IsBreak(FText, i - 2)) return i - 2;
    while (i > 0 && (FText[i - 1] == ' ' || FText[i - 1] == '\t')) --i;
    if (i > 0 && IsWordChar(FText[i - 1])) {
        while (i > 0 && IsWordChar(FText[i - 1])) --i;
    } else if (i > 0 && !IsBreak(FText, i - 2) && FText[i - 1] != '\n') {
        while (i > 0 && !IsWordChar(FText[i - 1]) && FText[i - 1] != ' ' && FText[i - 1] != '\t' &&
               FText[i - 1] != '\n')
            --i;
    }
    return i;
}

int TCustomEdit::WordRight(int Pos) const {
    const int n = static_cast<int>(FText.size());
    if (Pos >= n) return n;
    int i = Pos;
    if (IsBreak(FText, i)) return i + 2;
    if (IsWordChar(FText[i])) {
        while (i < n && IsWordChar(FText[i])) ++i;
    } else if (FText[i] != ' ' && FText[i] != '\t') {
        while (i < n && !IsWordChar(FText[i]) && FText[i] != ' ' && FText[i] != '\t' && FText[i] != '\r') ++i;
    }
    while (i < n && (FText[i] == ' ' || FText[i] == '\t')) ++i;
    return i;
}

void TCustomEdit::MoveCaret(int Pos, bool Extend) {
    SetSel(Extend ? FAnchor : Pos, Pos);
    if (Extend && !FSelecting) ShareSelection();
}

void TCustomEdit::ShareSelection() {
    if (SelLength() > 0 && FPasswordChar == 0) SetPrimarySelection(SelText());
}

// ---------------------------------------------------------------------------------------------
// Input

void TCustomEdit::HandleKeyDown(TWMKey& Message) {
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const int n = static_cast<int>(FText.size());
    const int line = LineFromChar(FCaret);
    auto vertical = [&](int ToLine) {
        ToLine = std::clamp(ToLine, 0, LineCount() - 1);
        const TPoint p = PosFromChar(FCaret);
        const int pos = CharFromPos(Point(p.X, FRect.Top + (ToLine - FTopLine) * LineHeight()));
        MoveCaret(pos, shift);
    };
    switch (Message.CharCode) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN: {
            const bool back = Message.CharCode == VK_LEFT || Message.CharCode == VK_UP;
            if (MultiLine() && (Message.CharCode == VK_UP || Message.CharCode == VK_DOWN)) {
                vertical(line + (back ? -1 : 1));
                break;
            }
            if (!shift && !ctrl && SelLength() > 0) {
                const int to = back ? SelStart() : SelStart() + SelLength();
                SetSel(to, to);
                break;
            }
            int to;
            if (ctrl)
                to = back ? WordLeft(FCaret) : WordRight(FCaret);
            else if (back)
                to = IsBreak(FText, FCaret - 2) ? FCaret - 2 : FCaret - 1;
            else
                to = IsBreak(FText, FCaret) ? FCaret + 2 : FCaret + 1;
            MoveCaret(std::clamp(to, 0, n), shift);
            break;
        }
        case VK_HOME: MoveCaret(ctrl || !MultiLine() ? 0 : LineIndex(line), shift); break;
        case VK_END: MoveCaret(ctrl || !MultiLine() ? n : LineEnd(line), shift); break;
        case VK_PRIOR:
        case VK_NEXT:
            if (MultiLine()) {
                const int page = std::max(1, FRect.Height() / LineHeight());
                vertical(line + (Message.CharCode == VK_PRIOR ? -page : page));
            }
            break;
        case VK_DELETE:
            if (shift) {
                CutToClipboard();
                break;
            }
            if (FReadOnly) {
                MessageBeep();
                break;
            }
            if (SelLength() == 0) {
                if (FCaret >= n) break;
                FAnchor = IsBreak(FText, FCaret) ? FCaret + 2 : FCaret + 1;
                if (ctrl) FAnchor = WordRight(FCaret);
            }
            ReplaceSelection(AnsiString(), true);
            break;
        case VK_INSERT:
            if (ctrl)
                CopyToClipboard();
            else if (shift)
                PasteFromClipboard();
            break;
        default: return;
    }
    Message.Result = 0;
}

void TCustomEdit::HandleChar(TWMKey& Message) {
    const char c = static_cast<char>(Message.CharCode);
    switch (c) {
        case 1:  // Ctrl+A
            SelectAll();
            ShareSelection();
            return;
        case 3: CopyToClipboard(); return;
        case 22: PasteFromClipboard(); return;
        case 24: CutToClipboard(); return;
        case 26: Undo(); return;
        case '\b':
            if (FReadOnly) {
                MessageBeep();
                return;
            }
            if (SelLength() == 0) {
                if (FCaret == 0) return;
                FAnchor = IsBreak(FText, FCaret - 2) ? FCaret - 2 : FCaret - 1;
            }
            ReplaceSelection(AnsiString(), true);
            return;
        case '\r':
            if (!MultiLine() || !FWantReturns) return;
            break;
        case '\t':
            if (!MultiLine()) return;
            break;
        default:
            if (static_cast<unsigned char>(c) < 32 || c == 0x7F) return;
    }
    if (FReadOnly) {
        MessageBeep();
        return;
    }
    ReplaceSelection(c == '\r' ? AnsiString("\r\n") : AnsiString(1, c), true, true);
}

void TCustomEdit::HandleMouse(TMessage& Message) {
    const TPoint p = LParamToPoint(Message.LParam);
    switch (Message.Msg) {
        case WM_LBUTTONDOWN: {
            if (CanFocus() && !Focused()) SetFocus();
            const int pos = CharFromPos(p);
            MoveCaret(pos, (Message.WParam & MK_SHIFT) != 0);
            FSelecting = true;
            if (HandleAllocated()) SetCapture(FHandle);
            break;
        }
        case WM_MOUSEMOVE:
            if (FSelecting) MoveCaret(CharFromPos(p), true);
            break;
        case WM_LBUTTONUP:
            if (FSelecting) {
                FSelecting = false;
                if (GetCapture() == FHandle) ReleaseCapture();
                ShareSelection();
            }
            break;
        case WM_LBUTTONDBLCLK: {
            const int pos = CharFromPos(p);
            const int n = static_cast<int>(FText.size());
            int s = pos, e = pos;
            if (pos < n && IsWordChar(FText[pos])) {
                while (s > 0 && IsWordChar(FText[s - 1])) --s;
                while (e < n && IsWordChar(FText[e])) ++e;
            } else if (pos > 0 && IsWordChar(FText[pos - 1])) {
                while (s > 0 && IsWordChar(FText[s - 1])) --s;
            } else if (pos < n && FText[pos] != '\r') {
                e = pos + 1;
            }
            SetSel(s, e);
            ShareSelection();
            break;
        }
    }
}

void TCustomEdit::Dispatch(TMessage& Message) {
    if (Message.Msg == CN_COMMAND) {
        TWMCommand m(Message);
        CNCommand(m);
        return;
    }
    TWinControl::Dispatch(Message);
}

void TCustomEdit::CMEnter(TCMEnter& Message) {
    if (FAutoSelect && !MultiLine() && !FControlState.Contains(csLButtonDown)) SelectAll();
    TWinControl::CMEnter(Message);
}

// What the edit window itself does with what the control left to it: one named handler per message.
struct TEditWindowProc {
    using TEdit = TCustomEdit;
    static void KeyDown(TEdit& E, TMessage& M) {
        TWMKey m(M);
        E.HandleKeyDown(m);
    }
    static void Char(TEdit& E, TMessage& M) {
        TWMKey m(M);
        E.HandleChar(m);
    }
    static void Mouse(TEdit& E, TMessage& M) { E.HandleMouse(M); }
    static void SetFocus(TEdit& E, TMessage&) {
        E.FFocused = true;
        E.Invalidate();
        if (E.ShowsCaret() && CreateCaret(E.FHandle, 1, E.LineHeight())) {
            E.PlaceCaret();
            ShowCaret(E.FHandle);
        }
        NotifyParent(E, EN_SETFOCUS);
    }
    static void KillFocus(TEdit& E, TMessage&) {
        E.FFocused = false;
        E.FSelecting = false;
        if (CaretState().Owner == E.FHandle) DestroyCaret();
        E.Invalidate();
        NotifyParent(E, EN_KILLFOCUS);
    }
    static void GetDlgCode(TEdit& E, TMessage& M) {
        M.Result = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if (E.MultiLine()) M.Result |= DLGC_WANTALLKEYS;
    }
    static void Paint(TEdit& E, TMessage& M) {
        if (auto* dc = reinterpret_cast<TCanvas*>(M.WParam)) E.PaintEdit(dc);
    }
    static void EraseBkgnd(TEdit&, TMessage& M) { M.Result = 1; }
    static void Scroll(TEdit& E, TMessage& M) {
        if (!E.MultiLine()) return;
        TWMScroll m(M);
        E.ScrollView(M.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, m.ScrollCode, m.Pos);
    }
    static void SetText(TEdit& E, TMessage& M) {
        E.SetText(M.LParam ? AnsiString(reinterpret_cast<const char*>(M.LParam)) : AnsiString());
        M.Result = 1;
    }
    static void GetTextLength(TEdit& E, TMessage& M) { M.Result = static_cast<LRESULT>(E.FText.size()); }
    static void GetText(TEdit& E, TMessage& M) {
        auto* buf = reinterpret_cast<char*>(M.LParam);
        const size_t cap = static_cast<size_t>(M.WParam);
        if (!buf || cap == 0) {
            M.Result = 0;
            return;
        }
        const size_t n = std::min(cap - 1, E.FText.size());
        std::memcpy(buf, E.FText.data(), n);
        buf[n] = 0;
        M.Result = static_cast<LRESULT>(n);
    }
    static void Cut(TEdit& E, TMessage&) { E.DoCut(); }
    static void Copy(TEdit& E, TMessage&) { E.DoCopy(); }
    static void Paste(TEdit& E, TMessage&) { E.DoPaste(); }
    static void Clear(TEdit& E, TMessage&) { E.DoClear(); }
    static void Undo(TEdit& E, TMessage& M) {
        M.Result = E.FUndo.Valid ? 1 : 0;
        E.DoUndo();
    }
    static void CanUndo(TEdit& E, TMessage& M) { M.Result = E.FUndo.Valid ? 1 : 0; }
    static void EmptyUndoBuffer(TEdit& E, TMessage&) { E.FUndo.Valid = false; }
    static void GetSel(TEdit& E, TMessage& M) {
        const int s = E.SelStart(), e = E.SelStart() + E.SelLength();
        if (auto* ps = reinterpret_cast<uint32_t*>(M.WParam)) *ps = static_cast<uint32_t>(s);
        if (auto* pe = reinterpret_cast<uint32_t*>(M.LParam)) *pe = static_cast<uint32_t>(e);
        M.Result = static_cast<LRESULT>(MakeWParam(s, e));
    }
    static void SetSel(TEdit& E, TMessage& M) {
        const int n = static_cast<int>(E.FText.size());
        const auto a = static_cast<int32_t>(M.WParam);
        const auto b = static_cast<int32_t>(M.LParam);
        if (a == -1) {  // deselect, the caret stays
            E.SetSel(E.FCaret, E.FCaret);
            return;
        }
        const int s = std::clamp(a, 0, n);
        const int e = b < 0 ? n : std::clamp(b, 0, n);
        E.SetSel(std::min(s, e), std::max(s, e));
    }
    static void ReplaceSel(TEdit& E, TMessage& M) {
        E.ReplaceSelection(M.LParam ? AnsiString(reinterpret_cast<const char*>(M.LParam)) : AnsiString(),
                           M.WParam != 0);
    }
    static void GetModify(TEdit& E, TMessage& M) { M.Result = E.FModified ? 1 : 0; }
    static void SetModify(TEdit& E, TMessage& M) { E.FModified = M.WParam != 0; }
    static void LimitText(TEdit& E, TMessage& M) { E.FMaxLength = static_cast<int>(M.WParam); }
    static void SetReadOnly(TEdit& E, TMessage& M) {
        E.FReadOnly = M.WParam != 0;
        M.Result = 1;
        E.Invalidate();
    }
    static void GetRect(TEdit& E, TMessage& M) {
        if (auto* r = reinterpret_cast<TRect*>(M.LParam)) *r = E.FRect;
    }
    static void SetRect(TEdit& E, TMessage& M) {
        if (auto* r = reinterpret_cast<const TRect*>(M.LParam)) {
            E.FRect = *r;
            E.FRectSet = true;
        } else {
            E.FRectSet = false;
            E.ResetEditRect();
        }
        E.ScrollCaret();
        if (M.Msg == EM_SETRECT) E.Invalidate();
    }
    static void ScrollCaret(TEdit& E, TMessage&) {
        E.ScrollCaret();
        E.Invalidate();
    }
    static void SetMargins(TEdit& E, TMessage& M) {
        if (M.WParam & EC_LEFTMARGIN) E.FLeftMargin = M.LParamLo;
        if (M.WParam & EC_RIGHTMARGIN) E.FRightMargin = M.LParamHi;
        E.FRectSet = false;
        E.ResetEditRect();
    }
    static void GetMargins(TEdit& E, TMessage& M) {
        M.Result = static_cast<LRESULT>(MakeWParam(E.FLeftMargin, E.FRightMargin));
    }
    static void PosFromChar(TEdit& E, TMessage& M) {
        const TPoint p = E.PosFromChar(static_cast<int>(M.WParam));
        M.Result = static_cast<LRESULT>(MakeWParam(p.X, p.Y));
    }
    static void CharFromPos(TEdit& E, TMessage& M) {
        const int pos = E.CharFromPos(LParamToPoint(M.LParam));
        M.Result = static_cast<LRESULT>(MakeWParam(pos, E.LineFromChar(pos)));
    }
    static void GetLineCount(TEdit& E, TMessage& M) { M.Result = E.LineCount(); }
    static void LineIndex(TEdit& E, TMessage& M) {
        const auto l = static_cast<int32_t>(M.WParam);
        M.Result = E.LineIndex(l < 0 ? E.LineFromChar(E.FCaret) : l);
    }
    static void LineFromChar(TEdit& E, TMessage& M) {
        const auto p = static_cast<int32_t>(M.WParam);
        M.Result = E.LineFromChar(p < 0 ? E.FCaret : p);
    }
    static void LineLength(TEdit& E, TMessage& M) {
        const int l = E.LineFromChar(static_cast<int32_t>(M.WParam));
        M.Result = E.LineEnd(l) - E.LineIndex(l);
    }
    static void GetFirstVisibleLine(TEdit& E, TMessage& M) { M.Result = E.FTopLine; }
    static void SetPasswordChar(TEdit& E, TMessage& M) { E.SetPasswordChar(static_cast<char>(M.WParam)); }

    static void NotifyParent(TEdit& E, int Code) {
        if (E.FParent && E.FParent->HandleAllocated())
            SendMessage(E.FParent->Handle(), WM_COMMAND, MakeWParam(0, Code), static_cast<LPARAM>(E.FHandle));
    }

    using THandler = void (*)(TEdit&, TMessage&);
    // The handler of a message the edit window knows; null for the rest.
    static THandler Find(UINT Msg) {
        switch (Msg) {
            case WM_KEYDOWN: return KeyDown;
            case WM_CHAR: return Char;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
            case WM_MOUSEMOVE:
            case WM_LBUTTONDBLCLK: return Mouse;
            case WM_SETFOCUS: return SetFocus;
            case WM_KILLFOCUS: return KillFocus;
            case WM_GETDLGCODE: return GetDlgCode;
            case WM_PAINT: return Paint;
            case WM_ERASEBKGND: return EraseBkgnd;
            case WM_VSCROLL:
            case WM_HSCROLL: return Scroll;
            case WM_SETTEXT: return SetText;
            case WM_GETTEXTLENGTH: return GetTextLength;
            case WM_GETTEXT: return GetText;
            case WM_CUT: return Cut;
            case WM_COPY: return Copy;
            case WM_PASTE: return Paste;
            case WM_CLEAR: return Clear;
            case WM_UNDO:
            case EM_UNDO: return Undo;
            case EM_CANUNDO: return CanUndo;
            case EM_EMPTYUNDOBUFFER: return EmptyUndoBuffer;
            case EM_GETSEL: return GetSel;
            case EM_SETSEL: return SetSel;
            case EM_REPLACESEL: return ReplaceSel;
            case EM_GETMODIFY: return GetModify;
            case EM_SETMODIFY: return SetModify;
            case EM_LIMITTEXT: return LimitText;
            case EM_SETREADONLY: return SetReadOnly;
            case EM_GETRECT: return GetRect;
            case EM_SETRECT:
            case EM_SETRECTNP: return SetRect;
            case EM_SCROLLCARET: return ScrollCaret;
            case EM_SETMARGINS: return SetMargins;
            case EM_GETMARGINS: return GetMargins;
            case EM_POSFROMCHAR: return PosFromChar;
            case EM_CHARFROMPOS: return CharFromPos;
            case EM_GETLINECOUNT: return GetLineCount;
            case EM_LINEINDEX: return LineIndex;
            case EM_LINEFROMCHAR: return LineFromChar;
            case EM_LINELENGTH: return LineLength;
            case EM_GETFIRSTVISIBLELINE: return GetFirstVisibleLine;
            case EM_SETPASSWORDCHAR: return SetPasswordChar;
            default: return nullptr;
        }
    }
};

void TCustomEdit::DefaultHandler(TMessage& Message) {
    if (const TEditWindowProc::THandler h = TEditWindowProc::Find(Message.Msg))
        h(*this, Message);
    else
        TWinControl::DefaultHandler(Message);
}

void TCustomEdit::PaintEdit(TCanvas* DC) {
    const TRect client = GetClientRect();
    const bool enabled = Enabled();
    DC->Brush()->SetColor(Color());
    DC->FillRect(client);
    DC->Font()->Assign(Font());
    const int lh = LineHeight();
    const bool showSel = SelLength() > 0 && (FFocused || !FHideSelection);
    const int selS = SelStart(), selE = SelStart() + SelLength();
    const int lines = LineCount();
    for (int l = FTopLine; l < lines; ++l) {
        const int y = FRect.Top + (l - FTopLine) * lh;
        if (y >= FRect.Bottom) break;
        const int s = LineIndex(l), e = LineEnd(l);
        const std::string_view line = std::string_view(FText).substr(s, e - s);
        const int x0 = FRect.Left - FScrollX;
        DC->Font()->SetColor(enabled ? Font()->Color() : clGrayText);
        DC->Brush()->SetStyle(bsClear);
        DC->TextRect(FRect, x0, y, DisplayText(line));
        if (showSel && selS < e && selE > s) {
            const int a = std::max(selS, s) - s, b = std::min(selE, e) - s;
            const int xa = x0 + TextWidthOf(line.substr(0, a));
            const int xb = x0 + TextWidthOf(line.substr(0, b));
            TRect r = Rect(xa, y, xb, y + lh);
            DC->Brush()->SetStyle(bsSolid);
            DC->Brush()->SetColor(clHighlight);
            DC->Font()->SetColor(clHighlightText);
            IntersectRect(r, r, FRect);
            DC->TextRect(r, xa, y, DisplayText(line.substr(a, b - a)));
        }
    }
    DC->Brush()->SetStyle(bsSolid);
}

// ---------------------------------------------------------------------------------------------
// TCustomMemo

class TMemoStrings : public rtl::TStrings {
public:
    explicit TMemoStrings(TCustomMemo* Memo) : FMemo(Memo) {}
    int Count() const override {
        const AnsiString& t = FMemo->Text();
        if (t.empty()) return 0;
        int n = FMemo->LineCount();
        if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0) --n;
        return n;
    }
    void Insert(int Index, const AnsiString& S) override {
        auto lines = All();
        if (Index < 0 || Index > static_cast<int>(lines.size())) Error("List index out of bounds (%d)", Index);
        lines.insert(lines.begin() + Index, S);
        Store(lines);
    }
    void Delete(int Index) override {
        auto lines = All();
        if (Index < 0 || Index >= static_cast<int>(lines.size())) Error("List index out of bounds (%d)", Index);
        lines.erase(lines.begin() + Index);
        Store(lines);
    }
    void Clear() override { FMemo->SetText(AnsiString()); }
    void SetText(const AnsiString& Value) override {
        AnsiString t;
        for (size_t i = 0; i < Value.size(); ++i) {
            if (Value[i] == '\r' || Value[i] == '\n') {
                if (Value[i] == '\r' && i + 1 < Value.size() && Value[i + 1] == '\n') ++i;
                t += "\r\n";
            } else {
                t += Value[i];
            }
        }
        FMemo->SetText(t);
    }

protected:
    AnsiString Get(int Index) const override {
        if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
        const AnsiString& t = FMemo->Text();
        const int s = FMemo->LineIndex(Index);
        const auto e = t.find("\r\n", s);
        return t.substr(s, e == AnsiString::npos ? AnsiString::npos : e - s);
    }
    void Put(int Index, const AnsiString& S) override {
        auto lines = All();
        if (Index < 0 || Index >= static_cast<int>(lines.size())) Error("List index out of bounds (%d)", Index);
        lines[Index] = S;
        Store(lines);
    }

private:
    std::vector<AnsiString> All() const {
        std::vector<AnsiString> v;
        for (int i = 0, n = Count(); i < n; ++i) v.push_back(Get(i));
        return v;
    }
    void Store(const std::vector<AnsiString>& Lines) {
        AnsiString t;
        for (size_t i = 0; i < Lines.size(); ++i) {
            if (i) t += "\r\n";
            t += Lines[i];
        }
        FMemo->SetText(t);
    }
    TCustomMemo* FMemo;
};

TCustomMemo::TCustomMemo(TComponent* Owner) : TCustomEdit(Owner), FLines(std::make_unique<TMemoStrings>(this)) {
    FMultiLine = true;
    FAutoSize = false;
    FWantReturns = true;
    SetBounds(0, 0, 185, 89);
}

TCustomMemo::~TCustomMemo() = default;

rtl::TStrings* TCustomMemo::Lines() const noexcept { return FLines.get(); }

void TCustomMemo::SetLines(rtl::TStrings* Value) { FLines->Assign(Value); }

void TCustomMemo::SetWordWrap(bool Value) {
    if (FWordWrap == Value) return;
    FWordWrap = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomMemo::SetScrollBars(TScrollStyle Value) {
    if (FScrollBars == Value) return;
    FScrollBars = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomMemo::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomMemo::CreateParams(TCreateParams& Params) {
    TCustomEdit::CreateParams(Params);
    Params.Style |= ES_MULTILINE;
    if (FScrollBars == TScrollStyle::ssVertical || FScrollBars == TScrollStyle::ssBoth) Params.Style |= WS_VSCROLL;
    if (FScrollBars == TScrollStyle::ssHorizontal || FScrollBars == TScrollStyle::ssBoth) Params.Style |= WS_HSCROLL;
    if (FWordWrap) Params.Style &= ~ES_AUTOHSCROLL;
}

TPoint TCustomMemo::CaretPosition() const {
    const int line = LineFromChar(FCaret);
    return Point(FCaret - LineIndex(line), line);
}

void TCustomMemo::WMGetDlgCode(TWMGetDlgCode& Message) {
    TCustomEdit::WMGetDlgCode(Message);
    if (FWantTabs)
        Message.Result |= DLGC_WANTTAB;
    else
        Message.Result &= ~static_cast<LRESULT>(DLGC_WANTTAB);
    if (!FWantReturns) Message.Result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
}

void TCustomMemo::KeyPress(char& Key) {
    TCustomEdit::KeyPress(Key);
    if (Key == '\r' && !FWantReturns) Key = 0;
}

}  // namespace ui

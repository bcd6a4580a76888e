// Window messages: numbers, the generic record and its typed views, window handles and the
// message queue of the user-interface thread.
//
// A typed record (TWMKey, TWMMouse, ...) is a view over a TMessage: its members are references into
// the generic record, so a handler that changes CharCode or Result changes the message that the
// inherited handler and the sender see.
#pragma once

#include <cstdint>
#include <functional>

#include "framework/ui/Graphics.h"

namespace ui {

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT = uint32_t;

// A window handle: a slot of the process's window table with a generation, so a handle of a
// destroyed window never reaches a newer one. 0 is no window.
using HWND = uintptr_t;

class TWinControl;

// ---------------------------------------------------------------------------------------------
// Numbers

enum : UINT {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_ENABLE = 0x000A,
    WM_SETREDRAW = 0x000B,
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_GETTEXTLENGTH = 0x000E,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_ERASEBKGND = 0x0014,
    WM_SYSCOLORCHANGE = 0x0015,
    WM_SHOWWINDOW = 0x0018,
    WM_ACTIVATEAPP = 0x001C,
    WM_CANCELMODE = 0x001F,
    WM_SETCURSOR = 0x0020,
    WM_MOUSEACTIVATE = 0x0021,
    WM_SETFONT = 0x0030,
    WM_GETFONT = 0x0031,
    WM_WINDOWPOSCHANGING = 0x0046,
    WM_WINDOWPOSCHANGED = 0x0047,
    WM_CONTEXTMENU = 0x007B,
    WM_HELP = 0x0053,
    WM_KEYF1 = 0x004D,  // F1 pressed (no Shift or Ctrl): the default handling asks for help
    WM_NCCREATE = 0x0081,
    WM_NCDESTROY = 0x0082,
    WM_NCCALCSIZE = 0x0083,
    WM_NCHITTEST = 0x0084,
    WM_NCPAINT = 0x0085,
    WM_NCACTIVATE = 0x0086,
    WM_GETDLGCODE = 0x0087,
    WM_NCMOUSEMOVE = 0x00A0,
    WM_NCLBUTTONDOWN = 0x00A1,
    WM_NCLBUTTONUP = 0x00A2,
    WM_NCLBUTTONDBLCLK = 0x00A3,
    WM_KEYFIRST = 0x0100,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_DEADCHAR = 0x0103,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_SYSCHAR = 0x0106,
    WM_KEYLAST = 0x0109,
    WM_IME_STARTCOMPOSITION = 0x010D,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_TIMER = 0x0113,
    WM_HSCROLL = 0x0114,
    WM_VSCROLL = 0x0115,
    WM_CTLCOLOREDIT = 0x0133,
    WM_CTLCOLORLISTBOX = 0x0134,
    WM_CTLCOLORSCROLLBAR = 0x0137,
    WM_CTLCOLORSTATIC = 0x0138,
    WM_MOUSEFIRST = 0x0200,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_RBUTTONDBLCLK = 0x0206,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MBUTTONDBLCLK = 0x0209,
    WM_MOUSEWHEEL = 0x020A,
    WM_MOUSELAST = 0x020A,
    WM_CAPTURECHANGED = 0x0215,
    WM_NCMOUSELEAVE = 0x02A2,
    WM_MOUSELEAVE = 0x02A3,
    WM_CUT = 0x0300,
    WM_COPY = 0x0301,
    WM_PASTE = 0x0302,
    WM_CLEAR = 0x0303,
    WM_UNDO = 0x0304,
    WM_USER = 0x0400,
    WM_APP = 0x8000,
};

// Private messages of the control library (WM_USER + 100 .. 102).
enum : UINT {
    WM_DROPDOWNPLACED = WM_USER + 100,
    WM_DROPDOWNCLOSE = WM_USER + 101,
    WM_DROPDOWNCLOSED = WM_USER + 102,
};

// Notifications between the controls of the framework.
enum : UINT {
    CM_BASE = 0xB000,
    CM_ACTIVATE = CM_BASE + 0,
    CM_DEACTIVATE = CM_BASE + 1,
    CM_GOTFOCUS = CM_BASE + 2,
    CM_LOSTFOCUS = CM_BASE + 3,
    CM_CANCELMODE = CM_BASE + 4,
    CM_DIALOGKEY = CM_BASE + 5,
    CM_DIALOGCHAR = CM_BASE + 6,
    CM_FOCUSCHANGED = CM_BASE + 7,
    CM_PARENTFONTCHANGED = CM_BASE + 8,
    CM_PARENTCOLORCHANGED = CM_BASE + 9,
    CM_HITTEST = CM_BASE + 10,
    CM_VISIBLECHANGED = CM_BASE + 11,
    CM_ENABLEDCHANGED = CM_BASE + 12,
    CM_COLORCHANGED = CM_BASE + 13,
    CM_FONTCHANGED = CM_BASE + 14,
    CM_CURSORCHANGED = CM_BASE + 15,
    CM_CTL3DCHANGED = CM_BASE + 16,
    CM_PARENTCTL3DCHANGED = CM_BASE + 17,
    CM_TEXTCHANGED = CM_BASE + 18,
    CM_MOUSEENTER = CM_BASE + 19,
    CM_MOUSELEAVE = CM_BASE + 20,
    CM_MENUCHANGED = CM_BASE + 21,
    CM_APPKEYDOWN = CM_BASE + 22,
    CM_APPSYSCOMMAND = CM_BASE + 23,
    CM_BUTTONPRESSED = CM_BASE + 24,
    CM_SHOWINGCHANGED = CM_BASE + 25,
    CM_ENTER = CM_BASE + 26,
    CM_EXIT = CM_BASE + 27,
    CM_DESIGNHITTEST = CM_BASE + 28,
    CM_ICONCHANGED = CM_BASE + 29,
    CM_WANTSPECIALKEY = CM_BASE + 30,
    CM_INVOKEHELP = CM_BASE + 31,
    CM_WINDOWHOOK = CM_BASE + 32,
    CM_RELEASE = CM_BASE + 33,
    CM_SHOWHINTCHANGED = CM_BASE + 34,
    CM_PARENTSHOWHINTCHANGED = CM_BASE + 35,
    CM_SYSCOLORCHANGE = CM_BASE + 36,
    CM_WININICHANGE = CM_BASE + 37,
    CM_FONTCHANGE = CM_BASE + 38,
    CM_TIMECHANGE = CM_BASE + 39,
    CM_TABSTOPCHANGED = CM_BASE + 40,
    CM_UIACTIVATE = CM_BASE + 41,
    CM_UIDEACTIVATE = CM_BASE + 42,
    CM_DOCWINDOWACTIVATE = CM_BASE + 43,
    CM_CONTROLLISTCHANGE = CM_BASE + 44,
    CM_GETDATALINK = CM_BASE + 45,
    CM_CHILDKEY = CM_BASE + 46,
    CM_DRAG = CM_BASE + 47,
    CM_HINTSHOW = CM_BASE + 48,
    CM_DIALOGHANDLE = CM_BASE + 49,
    CM_ISTOOLCONTROL = CM_BASE + 50,
    CM_RECREATEWND = CM_BASE + 51,
    CM_INVALIDATE = CM_BASE + 52,
    CM_SYSFONTCHANGED = CM_BASE + 53,
    CM_CONTROLCHANGE = CM_BASE + 54,
    CM_CHANGED = CM_BASE + 55,
    CM_DOCKCLIENT = CM_BASE + 56,
    CM_UNDOCKCLIENT = CM_BASE + 57,
    CM_FLOAT = CM_BASE + 58,
    CM_BORDERCHANGED = CM_BASE + 59,
    CM_BIDIMODECHANGED = CM_BASE + 60,
    CM_PARENTBIDIMODECHANGED = CM_BASE + 61,
    CM_ALLCHILDRENFLIPPED = CM_BASE + 62,
    CM_ACTIONUPDATE = CM_BASE + 63,
    CM_ACTIONEXECUTE = CM_BASE + 64,
    CM_HINTSHOWPAUSE = CM_BASE + 65,
    CM_DOCKNOTIFICATION = CM_BASE + 66,
    CM_MOUSEWHEEL = CM_BASE + 67,
    CM_ISSHORTCUT = CM_BASE + 68,
};

// Notifications reflected back to the control that caused them.
enum : UINT {
    CN_BASE = 0xBC00,
    CN_COMMAND = CN_BASE + WM_COMMAND,
    CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
    CN_KEYUP = CN_BASE + WM_KEYUP,
    CN_CHAR = CN_BASE + WM_CHAR,
    CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN,
    CN_SYSCHAR = CN_BASE + WM_SYSCHAR,
    CN_HSCROLL = CN_BASE + WM_HSCROLL,
    CN_VSCROLL = CN_BASE + WM_VSCROLL,
    CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT,
    CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX,
    CN_CTLCOLORSCROLLBAR = CN_BASE + WM_CTLCOLORSCROLLBAR,
    CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC,
};

// Edit control messages.
enum : UINT {
    EM_GETSEL = 0x00B0,
    EM_SETSEL = 0x00B1,
    EM_GETRECT = 0x00B2,
    EM_SETRECT = 0x00B3,
    EM_SETRECTNP = 0x00B4,
    EM_SCROLLCARET = 0x00B7,
    EM_GETMODIFY = 0x00B8,
    EM_SETMODIFY = 0x00B9,
    EM_LIMITTEXT = 0x00C5,
    EM_CANUNDO = 0x00C6,
    EM_UNDO = 0x00C7,
    EM_REPLACESEL = 0x00C2,
    EM_SETREADONLY = 0x00CF,
    EM_SETMARGINS = 0x00D3,
    EM_GETMARGINS = 0x00D4,
    EM_POSFROMCHAR = 0x00D6,
    EM_CHARFROMPOS = 0x00D7,
};

// List box messages.
enum : UINT {
    LB_ADDSTRING = 0x0180,
    LB_INSERTSTRING = 0x0181,
    LB_DELETESTRING = 0x0182,
    LB_RESETCONTENT = 0x0184,
    LB_SETCURSEL = 0x0186,
    LB_GETCURSEL = 0x0188,
    LB_GETTEXT = 0x0189,
    LB_GETCOUNT = 0x018B,
    LB_SELECTSTRING = 0x018C,
    LB_GETTOPINDEX = 0x018E,
    LB_FINDSTRING = 0x018F,
    LB_SETTOPINDEX = 0x0197,
    LB_GETITEMRECT = 0x0198,
    LB_SETITEMHEIGHT = 0x01A0,
    LB_GETITEMHEIGHT = 0x01A1,
    LB_ITEMFROMPOINT = 0x01A9,
};

// Dialog codes (WM_GETDLGCODE results).
enum : LRESULT {
    DLGC_WANTARROWS = 0x0001,
    DLGC_WANTTAB = 0x0002,
    DLGC_WANTALLKEYS = 0x0004,
    DLGC_WANTMESSAGE = 0x0004,
    DLGC_HASSETSEL = 0x0008,
    DLGC_DEFPUSHBUTTON = 0x0010,
    DLGC_UNDEFPUSHBUTTON = 0x0020,
    DLGC_RADIOBUTTON = 0x0040,
    DLGC_WANTCHARS = 0x0080,
    DLGC_STATIC = 0x0100,
    DLGC_BUTTON = 0x2000,
};

// Hit-test codes (WM_NCHITTEST results).
enum : LRESULT {
    HTERROR = -2,
    HTTRANSPARENT = -1,
    HTNOWHERE = 0,
    HTCLIENT = 1,
    HTCAPTION = 2,
    HTMENU = 5,
    HTHSCROLL = 6,
    HTVSCROLL = 7,
    HTLEFT = 10,
    HTRIGHT = 11,
    HTTOP = 12,
    HTTOPLEFT = 13,
    HTTOPRIGHT = 14,
    HTBOTTOM = 15,
    HTBOTTOMLEFT = 16,
    HTBOTTOMRIGHT = 17,
    HTBORDER = 18,
};

// WM_SYSCOMMAND: SC_KEYMENU enters the window's menu bar (lParam: the Alt+letter, or 0).
enum : WPARAM { SC_KEYMENU = 0xF100 };

// ScrollWindowEx flags.
enum : unsigned { SW_SCROLLCHILDREN = 0x1, SW_INVALIDATE = 0x2, SW_ERASE = 0x4 };

// Scroll bars: which bar, and the scroll codes of WM_HSCROLL/WM_VSCROLL.
enum : int { SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3 };
enum : int {
    SB_LINEUP = 0,
    SB_LINELEFT = 0,
    SB_LINEDOWN = 1,
    SB_LINERIGHT = 1,
    SB_PAGEUP = 2,
    SB_PAGELEFT = 2,
    SB_PAGEDOWN = 3,
    SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_LEFT = 6,
    SB_BOTTOM = 7,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
};
// EnableScrollBar arrows, and the scroll-bar control's messages (SB_CTL).
enum : UINT { ESB_ENABLE_BOTH = 0, ESB_DISABLE_LTUP = 1, ESB_DISABLE_RTDN = 2, ESB_DISABLE_BOTH = 3 };
enum : UINT { SBM_ENABLE_ARROWS = 0x00E4, SBM_SETSCROLLINFO = 0x00E9, SBM_GETSCROLLINFO = 0x00EA };
enum : UINT {
    SIF_RANGE = 0x0001,
    SIF_PAGE = 0x0002,
    SIF_POS = 0x0004,
    SIF_DISABLENOSCROLL = 0x0008,
    SIF_TRACKPOS = 0x0010,
    SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS,
};

// Window styles.
enum : uint32_t {
    WS_OVERLAPPED = 0x00000000,
    WS_TABSTOP = 0x00010000,
    WS_GROUP = 0x00020000,
    WS_THICKFRAME = 0x00040000,
    WS_SYSMENU = 0x00080000,
    WS_HSCROLL = 0x00100000,
    WS_VSCROLL = 0x00200000,
    WS_DLGFRAME = 0x00400000,
    WS_BORDER = 0x00800000,
    WS_CAPTION = 0x00C00000,
    WS_MAXIMIZE = 0x01000000,
    WS_CLIPCHILDREN = 0x02000000,
    WS_CLIPSIBLINGS = 0x04000000,
    WS_DISABLED = 0x08000000,
    WS_VISIBLE = 0x10000000,
    WS_MINIMIZE = 0x20000000,
    WS_CHILD = 0x40000000,
    WS_POPUP = 0x80000000,
};
enum : uint32_t {
    WS_EX_DLGMODALFRAME = 0x00000001,
    WS_EX_TOPMOST = 0x00000008,
    WS_EX_TRANSPARENT = 0x00000020,
    WS_EX_TOOLWINDOW = 0x00000080,
    WS_EX_WINDOWEDGE = 0x00000100,
    WS_EX_CLIENTEDGE = 0x00000200,
    WS_EX_RIGHT = 0x00001000,
    WS_EX_RTLREADING = 0x00002000,
    WS_EX_LEFTSCROLLBAR = 0x00004000,
    WS_EX_CONTROLPARENT = 0x00010000,
    WS_EX_STATICEDGE = 0x00020000,
    WS_EX_APPWINDOW = 0x00040000,
};
enum : uint32_t {
    CS_VREDRAW = 0x0001,
    CS_HREDRAW = 0x0002,
    CS_DBLCLKS = 0x0008,
    CS_SAVEBITS = 0x0800,
};
// Edit styles that the editors put into their creation parameters.
enum : uint32_t {
    ES_LEFT = 0x0000,
    ES_CENTER = 0x0001,
    ES_RIGHT = 0x0002,
    ES_MULTILINE = 0x0004,
    ES_UPPERCASE = 0x0008,
    ES_LOWERCASE = 0x0010,
    ES_PASSWORD = 0x0020,
    ES_AUTOVSCROLL = 0x0040,
    ES_AUTOHSCROLL = 0x0080,
    ES_NOHIDESEL = 0x0100,
    ES_READONLY = 0x0800,
    ES_WANTRETURN = 0x1000,
};

// SetWindowPos flags.
enum : UINT {
    SWP_NOSIZE = 0x0001,
    SWP_NOMOVE = 0x0002,
    SWP_NOZORDER = 0x0004,
    SWP_NOREDRAW = 0x0008,
    SWP_NOACTIVATE = 0x0010,
    SWP_FRAMECHANGED = 0x0020,
    SWP_SHOWWINDOW = 0x0040,
    SWP_HIDEWINDOW = 0x0080,
};
// ShowWindow commands.
enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_SHOWNA = 8 };
// WM_MOUSEACTIVATE results.
enum : LRESULT { MA_ACTIVATE = 1, MA_ACTIVATEANDEAT = 2, MA_NOACTIVATE = 3, MA_NOACTIVATEANDEAT = 4 };
// WM_SIZE kinds.
enum : WPARAM { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };
// WM_ACTIVATE states.
enum : WPARAM { WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2 };
// Mouse key flags in the wParam of mouse messages.
enum : WPARAM {
    MK_LBUTTON = 0x0001,
    MK_RBUTTON = 0x0002,
    MK_SHIFT = 0x0004,
    MK_CONTROL = 0x0008,
    MK_MBUTTON = 0x0010,
};
enum : int { WHEEL_DELTA = 120 };
// PeekMessage options.
enum : UINT { PM_NOREMOVE = 0x0000, PM_REMOVE = 0x0001 };
// RedrawWindow flags.
enum : UINT {
    RDW_INVALIDATE = 0x0001,
    RDW_ERASE = 0x0004,
    RDW_FRAME = 0x0400,
    RDW_ALLCHILDREN = 0x0080,
    RDW_UPDATENOW = 0x0100,
    RDW_NOCHILDREN = 0x0040,
};

// Virtual key codes.
enum : uint16_t {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_CANCEL = 0x03,
    VK_MBUTTON = 0x04,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_CLEAR = 0x0C,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_HELP = 0x2F,
    VK_NUMPAD0 = 0x60,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SEPARATOR = 0x6C,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_APPS = 0x5D,
    VK_F1 = 0x70,
    VK_F2 = 0x71,
    VK_F3 = 0x72,
    VK_F4 = 0x73,
    VK_F5 = 0x74,
    VK_F6 = 0x75,
    VK_F7 = 0x76,
    VK_F8 = 0x77,
    VK_F9 = 0x78,
    VK_F10 = 0x79,
    VK_F11 = 0x7A,
    VK_F12 = 0x7B,
    VK_NUMLOCK = 0x90,
    VK_SCROLL = 0x91,
    VK_LSHIFT = 0xA0,
    VK_RSHIFT = 0xA1,
    VK_LCONTROL = 0xA2,
    VK_RCONTROL = 0xA3,
    VK_LMENU = 0xA4,
    VK_RMENU = 0xA5,
};

// System metrics the controls ask for.
enum : int {
    SM_CXSCREEN = 0,
    SM_CYSCREEN = 1,
    SM_CXVSCROLL = 2,
    SM_CYHSCROLL = 3,
    SM_CYCAPTION = 4,
    SM_CXBORDER = 5,
    SM_CYBORDER = 6,
    SM_CYVTHUMB = 9,
    SM_CXHTHUMB = 10,
    SM_CXICON = 11,
    SM_CYICON = 12,
    SM_CXCURSOR = 13,
    SM_CYCURSOR = 14,
    SM_CYVSCROLL = 20,
    SM_CXHSCROLL = 21,
    SM_CXEDGE = 45,
    SM_CYEDGE = 46,
    SM_CXDOUBLECLK = 36,
    SM_CYDOUBLECLK = 37,
    SM_CXDRAG = 68,
    SM_CYDRAG = 69,
    SM_CXMENUCHECK = 71,
    SM_CYMENUCHECK = 72,
};
enum : UINT { SPI_GETWORKAREA = 0x0030, SPI_GETWHEELSCROLLLINES = 0x0068 };

// ---------------------------------------------------------------------------------------------
// Records

struct TMessage {
    UINT Msg = 0;
    union {
        WPARAM WParam = 0;
        struct {
            uint16_t WParamLo;
            uint16_t WParamHi;
        };
        struct {
            int16_t WParamLoS;
            int16_t WParamHiS;
        };
    };
    union {
        LPARAM LParam = 0;
        struct {
            uint16_t LParamLo;
            uint16_t LParamHi;
        };
        struct {
            int16_t LParamLoS;
            int16_t LParamHiS;
        };
        struct {
            int32_t LParam32;
        };
    };
    LRESULT Result = 0;

    TMessage() = default;
    TMessage(UINT msg, WPARAM wParam, LPARAM lParam) : Msg(msg), WParam(wParam), LParam(lParam) {}
};

// Packs two signed 16-bit coordinates as the low and high word of a message parameter.
constexpr LPARAM PointToLParam(int X, int Y) {
    return static_cast<LPARAM>(static_cast<uint32_t>(static_cast<uint16_t>(X)) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(Y)) << 16));
}
constexpr TPoint LParamToPoint(LPARAM L) {
    return TPoint{static_cast<int16_t>(L & 0xFFFF), static_cast<int16_t>((L >> 16) & 0xFFFF)};
}
constexpr WPARAM MakeWParam(int Lo, int Hi) {
    return static_cast<WPARAM>(static_cast<uint16_t>(Lo)) | (static_cast<WPARAM>(static_cast<uint16_t>(Hi)) << 16);
}

// The base of the typed views: converts back to the generic record.
struct TMessageView {
    TMessage& Message;
    UINT& Msg;
    LRESULT& Result;
    explicit TMessageView(TMessage& M) : Message(M), Msg(M.Msg), Result(M.Result) {}
    operator TMessage&() const { return Message; }
};

// WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, CM_DIALOGKEY, CM_WANTSPECIALKEY, CN_KEYDOWN ...
struct TWMKey : TMessageView {
    uint16_t& CharCode;
    int32_t& KeyData;
    explicit TWMKey(TMessage& M) : TMessageView(M), CharCode(M.WParamLo), KeyData(M.LParam32) {}
};
using TWMKeyDown = TWMKey;
using TWMKeyUp = TWMKey;
using TWMChar = TWMKey;
using TCMDialogKey = TWMKey;
using TCMDialogChar = TWMKey;
using TCMWantSpecialKey = TWMKey;

// Mouse button and move messages: keys in wParam, client position in lParam.
struct TWMMouse : TMessageView {
    WPARAM& Keys;
    int16_t& XPos;
    int16_t& YPos;
    explicit TWMMouse(TMessage& M) : TMessageView(M), Keys(M.WParam), XPos(M.LParamLoS), YPos(M.LParamHiS) {}
    TPoint Pos() const { return TPoint{XPos, YPos}; }
};
using TWMLButtonDown = TWMMouse;
using TWMLButtonUp = TWMMouse;
using TWMMouseMove = TWMMouse;
using TWMNCHitMessage = TWMMouse;

// WM_MOUSEWHEEL and CM_MOUSEWHEEL: keys and signed delta in wParam, screen position in lParam.
struct TWMMouseWheel : TMessageView {
    uint16_t& Keys;
    int16_t& WheelDelta;
    int16_t& XPos;
    int16_t& YPos;
    explicit TWMMouseWheel(TMessage& M)
        : TMessageView(M), Keys(M.WParamLo), WheelDelta(M.WParamHiS), XPos(M.LParamLoS), YPos(M.LParamHiS) {}
    TPoint Pos() const { return TPoint{XPos, YPos}; }
};
using TCMMouseWheel = TWMMouseWheel;

// WM_SETFOCUS: wParam is the window that lost the focus.
struct TWMSetFocus : TMessageView {
    WPARAM& FocusedWnd;
    explicit TWMSetFocus(TMessage& M) : TMessageView(M), FocusedWnd(M.WParam) {}
};
// WM_KILLFOCUS: wParam is the window that gains the focus.
struct TWMKillFocus : TMessageView {
    WPARAM& FocusedWnd;
    explicit TWMKillFocus(TMessage& M) : TMessageView(M), FocusedWnd(M.WParam) {}
};

// WM_GETDLGCODE: lParam may point at the message being dispatched (a TMsg), or be 0.
struct TWMGetDlgCode : TMessageView {
    explicit TWMGetDlgCode(TMessage& M) : TMessageView(M) {}
};

// WM_NCHITTEST: screen position in lParam.
struct TWMNCHitTest : TMessageView {
    int16_t& XPos;
    int16_t& YPos;
    explicit TWMNCHitTest(TMessage& M) : TMessageView(M), XPos(M.LParamLoS), YPos(M.LParamHiS) {}
    TPoint Pos() const { return TPoint{XPos, YPos}; }
};

// WM_HSCROLL, WM_VSCROLL, CN_HSCROLL, CN_VSCROLL: code and position in wParam, bar in lParam.
struct TWMScroll : TMessageView {
    uint16_t& ScrollCode;
    int16_t& Pos;
    LPARAM& ScrollBar;
    explicit TWMScroll(TMessage& M) : TMessageView(M), ScrollCode(M.WParamLo), Pos(M.WParamHiS), ScrollBar(M.LParam) {}
};
using TWMHScroll = TWMScroll;
using TWMVScroll = TWMScroll;

// WM_SIZE: kind in wParam, client width and height in lParam.
struct TWMSize : TMessageView {
    WPARAM& SizeType;
    uint16_t& Width;
    uint16_t& Height;
    explicit TWMSize(TMessage& M) : TMessageView(M), SizeType(M.WParam), Width(M.LParamLo), Height(M.LParamHi) {}
};

// WM_MOVE: client origin within the parent in lParam.
struct TWMMove : TMessageView {
    int16_t& XPos;
    int16_t& YPos;
    explicit TWMMove(TMessage& M) : TMessageView(M), XPos(M.LParamLoS), YPos(M.LParamHiS) {}
};

class TSurface;
// WM_PAINT and WM_ERASEBKGND: wParam is a device (a TPaintDC), 0 for the window's own.
struct TWMPaint : TMessageView {
    WPARAM& DC;
    explicit TWMPaint(TMessage& M) : TMessageView(M), DC(M.WParam) {}
};
using TWMEraseBkgnd = TWMPaint;
using TWMNCPaint = TWMPaint;

// WM_NCCALCSIZE: lParam points at a TNCCalcSizeParams; Rgrc[0] comes in as the window rectangle
// (parent coordinates) and goes out as the client rectangle.
struct TNCCalcSizeParams {
    TRect Rgrc[3];
};
struct TWMNCCalcSize : TMessageView {
    WPARAM& CalcValidRects;
    TNCCalcSizeParams* CalcSize_Params;
    explicit TWMNCCalcSize(TMessage& M)
        : TMessageView(M), CalcValidRects(M.WParam), CalcSize_Params(reinterpret_cast<TNCCalcSizeParams*>(M.LParam)) {}
};

// WM_WINDOWPOSCHANGING/CHANGED: lParam points at a TWindowPos.
struct TWindowPos {
    HWND hwnd = 0;
    HWND hwndInsertAfter = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    UINT flags = 0;
};
struct TWMWindowPosMsg : TMessageView {
    TWindowPos* WindowPos;
    explicit TWMWindowPosMsg(TMessage& M) : TMessageView(M), WindowPos(reinterpret_cast<TWindowPos*>(M.LParam)) {}
};
using TWMWindowPosChanging = TWMWindowPosMsg;
using TWMWindowPosChanged = TWMWindowPosMsg;

// WM_SETCURSOR: wParam the window under the cursor, lParam hit-test code and mouse message.
struct TWMSetCursor : TMessageView {
    WPARAM& CursorWnd;
    int16_t& HitTest;
    uint16_t& MouseMsg;
    explicit TWMSetCursor(TMessage& M)
        : TMessageView(M), CursorWnd(M.WParam), HitTest(M.LParamLoS), MouseMsg(M.LParamHi) {}
};

// WM_TIMER: the timer's identifier in wParam.
struct TWMTimer : TMessageView {
    WPARAM& TimerID;
    explicit TWMTimer(TMessage& M) : TMessageView(M), TimerID(M.WParam) {}
};

// WM_CANCELMODE (no parameters) and CM_CANCELMODE, whose lParam is the control that asked.
struct TWMCancelMode : TMessageView {
    explicit TWMCancelMode(TMessage& M) : TMessageView(M) {}
};
class TControl;
struct TCMCancelMode : TMessageView {
    explicit TCMCancelMode(TMessage& M) : TMessageView(M) {}
    TControl* Sender() const { return reinterpret_cast<TControl*>(Message.LParam); }
};

// CM_ENTER, CM_EXIT, CM_FONTCHANGED ... carry nothing.
struct TCMEnter : TMessageView {
    explicit TCMEnter(TMessage& M) : TMessageView(M) {}
};
using TCMExit = TCMEnter;

// CM_CHILDKEY: the key in wParam, the child that got it in lParam.
struct TCMChildKey : TMessageView {
    uint16_t& CharCode;
    explicit TCMChildKey(TMessage& M) : TMessageView(M), CharCode(M.WParamLo) {}
    TWinControl* Sender() const { return reinterpret_cast<TWinControl*>(Message.LParam); }
};

// CM_FOCUSCHANGED: lParam is the control that became the form's active control.
struct TCMFocusChanged : TMessageView {
    explicit TCMFocusChanged(TMessage& M) : TMessageView(M) {}
    TWinControl* Sender() const { return reinterpret_cast<TWinControl*>(Message.LParam); }
};

// CM_HITTEST: client position in lParam; Result non-zero when the control takes the point.
struct TCMHitTest : TMessageView {
    int16_t& XPos;
    int16_t& YPos;
    explicit TCMHitTest(TMessage& M) : TMessageView(M), XPos(M.LParamLoS), YPos(M.LParamHiS) {}
};
using TCMDesignHitTest = TWMMouse;

struct THintInfo;
// CM_HINTSHOW: lParam points at the THintInfo the handler may change; Result non-zero cancels.
struct TCMHintShow : TMessageView {
    THintInfo* HintInfo;
    explicit TCMHintShow(TMessage& M) : TMessageView(M), HintInfo(reinterpret_cast<THintInfo*>(M.LParam)) {}
};

// WM_HELP: lParam points to this.
inline constexpr int HELPINFO_WINDOW = 1;
inline constexpr int HELPINFO_MENUITEM = 2;
struct THelpInfo {
    int iContextType = HELPINFO_WINDOW;
    int iCtrlId = 0;
    uintptr_t hItemHandle = 0;  // the window (HWND) the help is asked for
    uintptr_t dwContextId = 0;
    int MousePosX = 0, MousePosY = 0;
};

// WM_CONTEXTMENU: wParam the window, lParam the screen position (-1, -1 from the keyboard).
struct TWMContextMenu : TMessageView {
    WPARAM& hWnd;
    int16_t& XPos;
    int16_t& YPos;
    explicit TWMContextMenu(TMessage& M) : TMessageView(M), hWnd(M.WParam), XPos(M.LParamLoS), YPos(M.LParamHiS) {}
};

// WM_COMMAND / CN_COMMAND: notification code high word, identifier low word, control in lParam.
struct TWMCommand : TMessageView {
    uint16_t& ItemID;
    uint16_t& NotifyCode;
    LPARAM& Ctl;
    explicit TWMCommand(TMessage& M) : TMessageView(M), ItemID(M.WParamLo), NotifyCode(M.WParamHi), Ctl(M.LParam) {}
};

// WM_MOUSEACTIVATE.
struct TWMMouseActivate : TMessageView {
    WPARAM& TopLevel;
    int16_t& HitTestCode;
    uint16_t& MouseMsg;
    explicit TWMMouseActivate(TMessage& M)
        : TMessageView(M), TopLevel(M.WParam), HitTestCode(M.LParamLoS), MouseMsg(M.LParamHi) {}
};

// A queued message.
struct TMsg {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    uint32_t time = 0;
    TPoint pt;
};

// ---------------------------------------------------------------------------------------------
// Windows and the queue

// The window a handle stands for; null for 0 or a destroyed window.
TWinControl* FindControl(HWND Wnd);
bool IsWindow(HWND Wnd);

// Delivers at once through the window's procedure and returns the result; 0 for a dead handle.
LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
// Queues the message stamped with the tick and the cursor position; false for a dead handle
// (0 is allowed: a thread message such as WM_QUIT).
bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
void PostQuitMessage(int ExitCode);
// The first queued message for the window (0: any) whose number lies in Min..Max (both 0: any).
// A WM_PAINT is reported for a window with an update region when nothing else matches. With
// PM_REMOVE the message leaves the queue and becomes the current message (its time and position).
bool PeekMessage(TMsg& Msg, HWND Wnd, UINT MsgFilterMin, UINT MsgFilterMax, UINT RemoveMsg);
// Delivers a retrieved message to its window; WM_PAINT validates the window after painting.
LRESULT DispatchMessage(const TMsg& Msg);
// Number of queued messages (without generated WM_PAINT).
int QueuedMessageCount();
// Removes every queued message (tests start from an empty queue).
void ClearMessageQueue();

// Tick and cursor position of the last message retrieved with removal.
uint32_t GetMessageTime();
TPoint GetMessagePos();

namespace detail {
// The input functions queue their messages stamped with the modifier keys and buttons held at
// that moment (KeysStamped set); retrieving one makes that the key state GetKeyState reports,
// so keys that went up meanwhile do not change what the message meant. Any direct change of
// the key state forgets it.
inline constexpr uint16_t KeysStamped = 0x8000;
bool PostInputMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, uint16_t Keys);
// The stamp of the last retrieved input message (0: none since the key state last changed).
uint16_t MessageKeys();
void ForgetMessageKeys();
}  // namespace detail

// Window timers: WM_TIMER goes to the window when the interval has elapsed on the process clock;
// at most one WM_TIMER per timer waits in the queue.
uintptr_t SetTimer(HWND Wnd, uintptr_t IDEvent, uint32_t Elapse);
bool KillTimer(HWND Wnd, uintptr_t IDEvent);
uint32_t GetTickCount();

// Metrics and settings of the display (fixed, as a standard desktop has them).
int GetSystemMetrics(int Index);
uint32_t GetDoubleClickTime();
int GetWheelScrollLines();

}  // namespace ui

namespace ui::detail {
// The window table and paint list, for the control model.
HWND AllocateHandle(TWinControl* Control);
void ReleaseHandle(HWND Wnd);
void AddPaintRequest(HWND Wnd);
void RemovePaintRequest(HWND Wnd);
// Removes queued messages of a window that is going.
void PurgeMessages(HWND Wnd);
}  // namespace ui::detail

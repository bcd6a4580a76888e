#include "framework/ui/Messages.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Timers.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace ui {

namespace {

struct TSlot {
    TWinControl* Control = nullptr;
    uint32_t Generation = 0;
};

// A queued message as the queue keeps it: the fields of TMsg without its padding, so a long queue
// moves a sixth less memory.
struct TQueued {
    HWND hwnd;
    WPARAM wParam;
    LPARAM lParam;
    uint16_t message;
    uint16_t keys;  // the input state when an input function queued it (KeysStamped), or 0
    uint32_t time;
    TPoint pt;
};
static_assert(sizeof(TQueued) == 40);

// The queue: fixed blocks of messages in order, with drained blocks kept for reuse. Growing never
// copies the waiting messages, and a burst as long as an earlier one touches no new memory.
class TMsgRing {
    static constexpr size_t BlockShift = 10;
    static constexpr size_t BlockSize = size_t{1} << BlockShift;
    static constexpr size_t BlockMask = BlockSize - 1;
    using TBlock = std::unique_ptr<TQueued[]>;

public:
    size_t size() const noexcept { return FCount; }
    bool empty() const noexcept { return FCount == 0; }
    TQueued& operator[](size_t I) noexcept {
        const size_t k = FHead + I;
        return FBlocks[k >> BlockShift][k & BlockMask];
    }
    const TQueued& operator[](size_t I) const noexcept {
        const size_t k = FHead + I;
        return FBlocks[k >> BlockShift][k & BlockMask];
    }
    TQueued& front() noexcept { return FBlocks.front()[FHead]; }
    // A new last entry, filled in place by the caller.
    TQueued& emplace_back() {
        const size_t k = FHead + FCount;
        if ((k >> BlockShift) == FBlocks.size()) AddBlock();
        ++FCount;
        return FBlocks[k >> BlockShift][k & BlockMask];
    }
    void pop_front() noexcept {
        --FCount;
        if (++FHead == BlockSize || FCount == 0) [[unlikely]]
            FrontDrained();
    }
    // Removes entry I, keeping the order of the others.
    void erase(size_t I) {
        if (I == 0) {
            pop_front();
            return;
        }
        for (size_t k = I; k + 1 < FCount; ++k) (*this)[k] = (*this)[k + 1];
        --FCount;
        TrimTail();
    }
    template <class P>
    void remove_if(P Pred) {
        size_t out = 0;
        for (size_t i = 0; i < FCount; ++i)
            if (!Pred((*this)[i])) {
                if (out != i) (*this)[out] = (*this)[i];
                ++out;
            }
        FCount = out;
        if (FCount == 0) FHead = 0;
        TrimTail();
    }
    template <class P>
    bool any_of(P Pred) const {
        for (size_t i = 0; i < FCount; ++i)
            if (Pred((*this)[i])) return true;
        return false;
    }
    void clear() noexcept {
        FHead = 0;
        FCount = 0;
        TrimTail();
    }

private:
    [[gnu::noinline]] void FrontDrained() noexcept {
        if (FHead == BlockSize && FCount != 0) {
            FHead = 0;
            RetireFront();
        } else if (FCount == 0) {
            FHead = 0;
            TrimTail();
        }
    }
    [[gnu::noinline]] void AddBlock() {
        if (FSpare.empty()) {
            // Room for every block among the spares, so handing one back never allocates.
            FSpare.reserve(FBlocks.size() + 1);
            FBlocks.push_back(std::make_unique_for_overwrite<TQueued[]>(BlockSize));
        } else {
            FBlocks.push_back(std::move(FSpare.back()));
            FSpare.pop_back();
        }
    }
    // The first block is drained: keep it for reuse. Happens once per block of messages, so
    // shifting the (short) list of block pointers costs nothing worth a second structure.
    void RetireFront() noexcept {
        FSpare.push_back(std::move(FBlocks.front()));
        FBlocks.erase(FBlocks.begin());
    }
    // Hands blocks past the last waiting message back to the spares; one block stays in use.
    void TrimTail() noexcept {
        const size_t used = FCount == 0 ? 1 : ((FHead + FCount - 1) >> BlockShift) + 1;
        while (FBlocks.size() > used) {
            FSpare.push_back(std::move(FBlocks.back()));
            FBlocks.pop_back();
        }
    }
    std::vector<TBlock> FBlocks;
    std::vector<TBlock> FSpare;
    size_t FHead = 0;  // index of the first message within the first block
    size_t FCount = 0;
};

struct TQueueState {
    std::vector<TSlot> Slots;
    std::vector<uint32_t> FreeSlots;
    TMsgRing Queue;
    std::vector<HWND> PaintList;
    uint32_t LastTime = 0;
    TPoint LastPos;
    uint16_t LastKeys = 0;  // of the last retrieved input message while KeysStamped is set
    TPoint CursorPos;
};

// Constant-initialised, so the hot paths need no guard of a function-local static.
constinit TQueueState GState;

inline TQueueState& State() { return GState; }

constexpr HWND MakeHandle(uint32_t Index, uint32_t Generation) {
    return (static_cast<HWND>(Generation) << 32) | (static_cast<HWND>(Index) + 1);
}

inline TWinControl* Lookup(HWND Wnd) {
    auto& s = State();
    const uint32_t index = static_cast<uint32_t>(Wnd & 0xFFFFFFFFu) - 1;
    if (Wnd == 0 || index >= s.Slots.size()) return nullptr;
    const TSlot& slot = s.Slots[index];
    return slot.Generation == static_cast<uint32_t>(Wnd >> 32) ? slot.Control : nullptr;
}

// Field by field on purpose: a whole-record copy is done in overlapping 16-byte pieces, and the
// dispatcher's 8-byte reads of the fresh copy then wait for those stores instead of being
// forwarded from them (the largest single cost of a dispatched message).
inline void CopyOut(TMsg& To, const TQueued& From) noexcept {
    To.hwnd = From.hwnd;
    To.message = From.message;
    To.wParam = From.wParam;
    To.lParam = From.lParam;
    To.time = From.time;
    To.pt.X = From.pt.X;
    To.pt.Y = From.pt.Y;
}

bool Matches(const TQueued& M, HWND Wnd, UINT Min, UINT Max) {
    if (Wnd != 0 && M.hwnd != Wnd) return false;
    if (Min == 0 && Max == 0) return true;
    return M.message >= Min && M.message <= Max;
}

bool IsAncestorPending(TWinControl* Control) {
    auto& s = State();
    for (TWinControl* p = Control->Parent(); p; p = p->Parent())
        if (p->HandleAllocated() && std::find(s.PaintList.begin(), s.PaintList.end(), p->Handle()) != s.PaintList.end())
            return true;
    return false;
}

}  // namespace

namespace detail {

HWND AllocateHandle(TWinControl* Control) {
    auto& s = State();
    uint32_t index;
    if (!s.FreeSlots.empty()) {
        index = s.FreeSlots.back();
        s.FreeSlots.pop_back();
    } else {
        index = static_cast<uint32_t>(s.Slots.size());
        s.Slots.push_back({});
    }
    TSlot& slot = s.Slots[index];
    slot.Control = Control;
    ++slot.Generation;
    return MakeHandle(index, slot.Generation);
}

void ReleaseHandle(HWND Wnd) {
    auto& s = State();
    if (!Lookup(Wnd)) return;
    const uint32_t index = static_cast<uint32_t>(Wnd & 0xFFFFFFFFu) - 1;
    s.Slots[index].Control = nullptr;
    s.FreeSlots.push_back(index);
    rtl::TimerService().KillTimers(reinterpret_cast<const void*>(Wnd));
    RemovePaintRequest(Wnd);
    PurgeMessages(Wnd);
}

void AddPaintRequest(HWND Wnd) {
    auto& l = State().PaintList;
    if (std::find(l.begin(), l.end(), Wnd) == l.end()) l.push_back(Wnd);
}

void RemovePaintRequest(HWND Wnd) {
    auto& l = State().PaintList;
    l.erase(std::remove(l.begin(), l.end(), Wnd), l.end());
}

void PurgeMessages(HWND Wnd) {
    State().Queue.remove_if([Wnd](const TQueued& M) { return M.hwnd == Wnd; });
}

}  // namespace detail

TWinControl* FindControl(HWND Wnd) { return Lookup(Wnd); }

// The cursor position lives with the queue, which stamps every posted message with it.
TPoint GetCursorPos() { return State().CursorPos; }
void SetCursorPos(TPoint ScreenPos) { State().CursorPos = ScreenPos; }
bool IsWindow(HWND Wnd) { return Lookup(Wnd) != nullptr; }

LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    TWinControl* control = Lookup(Wnd);
    if (!control) return 0;
    TMessage m(Msg, WParam, LParam);
    control->Deliver(m);
    return m.Result;
}

namespace {
bool Post(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, uint16_t Keys) {
    // Message numbers above 0xFFFF are reserved, as on the platform.
    if ((Wnd != 0 && !Lookup(Wnd)) || Msg > 0xFFFF) return false;
    auto& s = State();
    TQueued& m = s.Queue.emplace_back();
    m.hwnd = Wnd;
    m.message = static_cast<uint16_t>(Msg);
    m.keys = Keys;
    m.wParam = WParam;
    m.lParam = LParam;
    m.time = static_cast<uint32_t>(rtl::ClockSource().TickMs());
    m.pt = s.CursorPos;
    return true;
}
}  // namespace

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) { return Post(Wnd, Msg, WParam, LParam, 0); }

namespace detail {
bool PostInputMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, uint16_t Keys) {
    return Post(Wnd, Msg, WParam, LParam, static_cast<uint16_t>(Keys | KeysStamped));
}
uint16_t MessageKeys() { return State().LastKeys; }
void ForgetMessageKeys() { State().LastKeys = 0; }
}  // namespace detail

void PostQuitMessage(int ExitCode) { PostMessage(0, WM_QUIT, static_cast<WPARAM>(ExitCode), 0); }

namespace {

// Filtered retrieval and the generated WM_PAINT, kept out of the plain loop's path.
[[gnu::noinline]] bool PeekFiltered(TMsg& Msg, HWND Wnd, UINT MsgFilterMin, UINT MsgFilterMax, UINT RemoveMsg) {
    auto& s = State();
    for (size_t i = 0, n = s.Queue.size(); i < n; ++i) {
        if (!Matches(s.Queue[i], Wnd, MsgFilterMin, MsgFilterMax)) continue;
        CopyOut(Msg, s.Queue[i]);
        if (RemoveMsg & PM_REMOVE) {
            if (s.Queue[i].keys) s.LastKeys = s.Queue[i].keys;
            s.Queue.erase(i);
            s.LastTime = Msg.time;
            s.LastPos = Msg.pt;
        }
        return true;
    }
    // Paint comes after everything else, parents before their children.
    if ((MsgFilterMin == 0 && MsgFilterMax == 0) || (WM_PAINT >= MsgFilterMin && WM_PAINT <= MsgFilterMax)) {
        for (HWND h : s.PaintList) {
            if (Wnd != 0 && h != Wnd) continue;
            TWinControl* control = Lookup(h);
            if (!control || (Wnd == 0 && IsAncestorPending(control))) continue;
            Msg = TMsg{h, WM_PAINT, 0, 0, rtl::GetTickCount(), GetCursorPos()};
            return true;
        }
    }
    return false;
}

}  // namespace

bool PeekMessage(TMsg& Msg, HWND Wnd, UINT MsgFilterMin, UINT MsgFilterMax, UINT RemoveMsg) {
    auto& s = State();
    if ((Wnd | MsgFilterMin | MsgFilterMax) != 0 || s.Queue.empty())
        return PeekFiltered(Msg, Wnd, MsgFilterMin, MsgFilterMax, RemoveMsg);
    const TQueued& front = s.Queue.front();
    CopyOut(Msg, front);
    if (RemoveMsg & PM_REMOVE) {
        s.LastTime = front.time;
        s.LastPos = front.pt;
        if (front.keys) s.LastKeys = front.keys;
        s.Queue.pop_front();
    }
    return true;
}

LRESULT DispatchMessage(const TMsg& Msg) {
    TWinControl* control = Lookup(Msg.hwnd);
    if (!control) return 0;
    TMessage m(Msg.message, Msg.wParam, Msg.lParam);
    control->Deliver(m);
    if (Msg.message == WM_PAINT && Lookup(Msg.hwnd) == control && control->NeedsPaint()) {
        // A handler that did not paint still leaves the window valid, or the loop would spin.
        control->ValidateRect(nullptr);
    }
    return m.Result;
}

int QueuedMessageCount() { return static_cast<int>(State().Queue.size()); }

void ClearMessageQueue() {
    State().Queue.clear();
    State().LastKeys = 0;
    State().PaintList.clear();
}

uint32_t GetMessageTime() { return State().LastTime; }
TPoint GetMessagePos() { return State().LastPos; }

uintptr_t SetTimer(HWND Wnd, uintptr_t IDEvent, uint32_t Elapse) {
    if (!Lookup(Wnd)) return 0;
    const void* owner = reinterpret_cast<const void*>(Wnd);
    rtl::SetTimer(owner, IDEvent, Elapse, [Wnd, IDEvent] {
        const bool waiting = State().Queue.any_of(
            [&](const TQueued& M) { return M.hwnd == Wnd && M.message == WM_TIMER && M.wParam == IDEvent; });
        if (!waiting) PostMessage(Wnd, WM_TIMER, IDEvent, 0);
    });
    return IDEvent;
}

bool KillTimer(HWND Wnd, uintptr_t IDEvent) {
    const bool existed = rtl::KillTimer(reinterpret_cast<const void*>(Wnd), IDEvent);
    State().Queue.remove_if(
        [&](const TQueued& M) { return M.hwnd == Wnd && M.message == WM_TIMER && M.wParam == IDEvent; });
    return existed;
}

uint32_t GetTickCount() { return rtl::GetTickCount(); }

int GetSystemMetrics(int Index) {
    switch (Index) {
        case SM_CXSCREEN: return Screen()->Width();
        case SM_CYSCREEN: return Screen()->Height();
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL:
        case SM_CYVTHUMB:
        case SM_CXHTHUMB: return 17;
        case SM_CXBORDER:
        case SM_CYBORDER: return 1;
        case SM_CXEDGE:
        case SM_CYEDGE: return 2;
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK:
        case SM_CXDRAG:
        case SM_CYDRAG: return 4;
        case SM_CYCAPTION: return 23;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR: return 32;
        case SM_CXMENUCHECK:
        case SM_CYMENUCHECK: return 13;
        default: return 0;
    }
}

uint32_t GetDoubleClickTime() { return 500; }
int GetWheelScrollLines() { return 3; }

}  // namespace ui

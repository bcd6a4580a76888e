// Actions: commands with a caption, state and shortcut shared by the menu items that show them,
// and the lists that hold them and let their shortcuts run them.
#pragma once

#include <functional>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/ui/Controls.h"

namespace ui {

class TCustomActionList;

// Key code with the shift bits: 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt.
using TShortCut = uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut scNone = 0;
TShortCut ShortCut(uint16_t Key, TShiftState Shift);
void ShortCutToKey(TShortCut Value, uint16_t& Key, TShiftState& Shift);
// "Ctrl+S", "Shift+F5", "Ctrl+Alt+Del"; empty for none.
AnsiString ShortCutToText(TShortCut Value);
// The reverse of ShortCutToText; 0 for text it does not know.
TShortCut TextToShortCut(const AnsiString& Text);
// The shortcut a key message stands for (with the keyboard's shift state).
TShortCut ShortCutFromMessage(const TWMKey& Message);

class TBasicAction : public rtl::TComponent {
    RTL_CLASS(TBasicAction, rtl::TComponent)
public:
    explicit TBasicAction(rtl::TComponent* Owner);
    ~TBasicAction() override;
    // Runs OnExecute; false when there is none.
    virtual bool Execute();
    // Runs OnUpdate; false when there is none.
    virtual bool Update();
    TNotifyEvent OnExecute;
    TNotifyEvent OnUpdate;

    // The component the action runs for while a client runs it (a button of one of several
    // editors sharing the action); nil otherwise, and nil once that component is destroyed.
    rtl::TComponent* ActionComponent() const noexcept { return FActionComponent; }
    void SetActionComponent(rtl::TComponent* Value);

    // Clients (menu items, buttons) hear of every change of the action's state.
    void RegisterChanges(const void* Client, std::function<void()> Changed);
    void UnRegisterChanges(const void* Client);

protected:
    void Change();
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

private:
    std::vector<std::pair<const void*, std::function<void()>>> FClients;
    rtl::TComponent* FActionComponent = nullptr;
};

class TCustomAction : public TBasicAction {
    RTL_CLASS(TCustomAction, TBasicAction)
public:
    explicit TCustomAction(rtl::TComponent* Owner);
    ~TCustomAction() override;

    // Updates first; a disabled action does nothing and answers false.
    bool Execute() override;

    const AnsiString& Caption() const noexcept { return FCaption; }
    void SetCaption(const AnsiString& Value);
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    bool Checked() const noexcept { return FChecked; }
    void SetChecked(bool Value);
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    bool AutoCheck() const noexcept { return FAutoCheck; }
    void SetAutoCheck(bool Value) noexcept { FAutoCheck = Value; }
    const AnsiString& Hint() const noexcept { return FHint; }
    void SetHint(const AnsiString& Value);
    TShortCut ShortCut() const noexcept { return FShortCut; }
    void SetShortCut(TShortCut Value);
    int ImageIndex() const noexcept { return FImageIndex; }
    void SetImageIndex(int Value);
    int GroupIndex() const noexcept { return FGroupIndex; }
    void SetGroupIndex(int Value) noexcept { FGroupIndex = Value; }
    int HelpContext() const noexcept { return FHelpContext; }
    void SetHelpContext(int Value) noexcept { FHelpContext = Value; }
    // With no OnExecute (of the action or its list) the action is disabled on update.
    bool DisableIfNoHandler() const noexcept { return FDisableIfNoHandler; }
    void SetDisableIfNoHandler(bool Value) noexcept { FDisableIfNoHandler = Value; }
    // The list's OnUpdate, else the action's; then the rule of DisableIfNoHandler.
    void UpdateState();

    TCustomActionList* ActionList() const noexcept { return FActionList; }
    void SetActionList(TCustomActionList* Value);
    const AnsiString& Category() const noexcept { return FCategory; }
    void SetCategory(const AnsiString& Value) noexcept { FCategory = Value; }

private:
    friend class TCustomActionList;
    AnsiString FCaption, FHint, FCategory;
    bool FEnabled = true, FChecked = false, FVisible = true, FAutoCheck = false, FDisableIfNoHandler = true;
    TShortCut FShortCut = 0;
    int FImageIndex = -1, FGroupIndex = 0, FHelpContext = 0;
    TCustomActionList* FActionList = nullptr;
};

class TAction : public TCustomAction {
    RTL_CLASS(TAction, TCustomAction)
public:
    using TCustomAction::TCustomAction;
};

using TActionEvent = std::function<void(TBasicAction* Action, bool& Handled)>;

// Holds actions; on a form its actions' shortcuts run them.
class TCustomActionList : public rtl::TComponent {
    RTL_CLASS(TCustomActionList, rtl::TComponent)
public:
    explicit TCustomActionList(rtl::TComponent* Owner);
    ~TCustomActionList() override;
    void AfterConstruction() override;

    int ActionCount() const noexcept { return static_cast<int>(FActions.size()); }
    TCustomAction* Actions(int Index) const { return FActions.at(static_cast<size_t>(Index)); }
    // Runs the enabled, visible action with this shortcut (after updating it); false when none.
    bool IsShortCut(TShortCut Value);
    // Lets every action update its state (OnUpdate of the list first).
    void UpdateActions();
    bool State() const noexcept { return FEnabled; }
    void SetState(bool Enabled) noexcept { FEnabled = Enabled; }

    TActionEvent OnExecute;
    TActionEvent OnUpdate;

protected:
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

private:
    friend class TCustomAction;
    std::vector<TCustomAction*> FActions;
    bool FEnabled = true;
};

class TActionList : public TCustomActionList {
    RTL_CLASS(TActionList, TCustomActionList)
public:
    using TCustomActionList::TCustomActionList;
};

}  // namespace ui

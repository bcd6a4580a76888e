#include "controls/editors/ToolCtrlsEh_Buttons.h"

#include <algorithm>

#include "controls/editors/ToolCtrlsEh_Draw.h"

namespace editors {

int EditButtonDrawStyle(TEditButtonStyleEh Style) noexcept {
    switch (Style) {
        case ebsDropDownEh: return bfsDropDown;
        case ebsEllipsisEh: return bfsEllipsis;
        case ebsGlyphEh:
        case ebsUpDownEh: return bfsUpDown;
        case ebsPlusEh: return bfsPlus;
        case ebsMinusEh: return bfsMinus;
    }
    return bfsDropDown;
}

TEditButtonEh::TEditButtonEh(rtl::TCollection* Collection) : rtl::TCollectionItem(Collection) { Init(); }

TEditButtonEh::TEditButtonEh(ui::TWinControl* EditControl)
    : rtl::TCollectionItem(nullptr), FEditControl(EditControl) {
    Init();
}

TEditButtonEh::~TEditButtonEh() = default;

void TEditButtonEh::Init() {
    FGlyph.reset(rtl::Create<ui::TBitmap>());
    FGlyph->SetTransparent(true);
}

void TEditButtonEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TEditButtonEh*>(Source);
    if (!src) {
        rtl::TCollectionItem::Assign(Source);
        return;
    }
    SetEnabled(src->Enabled());
    SetGlyph(src->Glyph());
    SetHint(src->Hint());
    SetNumGlyphs(src->NumGlyphs());
    SetShortCut(src->ShortCut());
    SetStyle(src->Style());
    SetVisible(src->Visible());
    SetWidth(src->Width());
    OnClick = src->OnClick;
    OnDown = src->OnDown;
}

void TEditButtonEh::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    ButtonChanged();
}

void TEditButtonEh::SetGlyph(ui::TBitmap* Value) {
    FGlyph->Assign(Value);
    ButtonChanged();
}

void TEditButtonEh::SetHint(const AnsiString& Value) {
    if (Value == FHint) return;
    FHint = Value;
    ButtonChanged();
}

void TEditButtonEh::SetNumGlyphs(int Value) {
    Value = std::clamp(Value, 1, 4);
    if (Value == FNumGlyphs) return;
    FNumGlyphs = Value;
    ButtonChanged();
}

void TEditButtonEh::SetStyle(TEditButtonStyleEh Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    ButtonChanged();
}

void TEditButtonEh::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    ButtonChanged();
}

void TEditButtonEh::SetWidth(int Value) {
    if (Value == FWidth) return;
    FWidth = Value;
    ButtonChanged();
}

void TEditButtonEh::Click(rtl::TObject* Sender, bool& Handled) {
    if (OnClick) OnClick(Sender, Handled);
}

void TEditButtonEh::ButtonChanged() {
    if (OnChange)
        OnChange(this);
    else if (Collection())
        Changed(false);
}

TDropDownEditButtonEh::TDropDownEditButtonEh(rtl::TCollection* Collection) : TEditButtonEh(Collection) {
    SetShortCut(AltDownShortCut);
}

TDropDownEditButtonEh::TDropDownEditButtonEh(ui::TWinControl* EditControl) : TEditButtonEh(EditControl) {
    SetShortCut(AltDownShortCut);
}

TVisibleEditButtonEh::TVisibleEditButtonEh(rtl::TCollection* Collection) : TEditButtonEh(Collection) {
    SetShortCut(AltDownShortCut);
    SetVisible(true);
}

TVisibleEditButtonEh::TVisibleEditButtonEh(ui::TWinControl* EditControl) : TEditButtonEh(EditControl) {
    SetShortCut(AltDownShortCut);
    SetVisible(true);
}

TEditButtonsEh::TEditButtonsEh(rtl::TPersistent* Owner, const rtl::TCollectionItemClass& ItemClass)
    : rtl::TCollection(ItemClass), FOwner(Owner) {}

void TEditButtonsEh::Update(rtl::TCollectionItem* Item) {
    rtl::TCollection::Update(Item);
    if (OnChange) OnChange(Item);
}

}  // namespace editors

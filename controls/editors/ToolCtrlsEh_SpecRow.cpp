#include "controls/editors/ToolCtrlsEh.h"

#include "framework/rtl/Ownership.h"

namespace editors {

namespace {
ui::TFont* ProcessDefaultFont() {
    static ui::TFont font;
    return &font;
}
}  // namespace

TSpecRowEh::TSpecRowEh(rtl::TPersistent* Owner)
    : FOwner(Owner), FCells(rtl::Create<rtl::TStringList>()), FFont(rtl::Create<ui::TFont>()) {
    FFont->OnChange = [this](rtl::TObject*) { FontChanged(); };
}

TSpecRowEh::~TSpecRowEh() { FFont->OnChange = nullptr; }

void TSpecRowEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TSpecRowEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    rtl::TUpdateLock<TSpecRowEh> lock(this);
    SetCellsText(src->CellsText());
    SetColor(src->Color());
    if (src->FontAssigned()) SetFont(src->Font());
    SetShortCut(src->ShortCut());
    SetShowIfNotInKeyList(src->ShowIfNotInKeyList());
    SetValue(src->Value());
    SetVisible(src->Visible());
}

void TSpecRowEh::SetCellsText(const AnsiString& Value) {
    if (Value == FCellsText) return;
    FCellsText = Value;
    SetCellsStrings(FCells.get(), Value);
    Changed();
}

ui::TColor TSpecRowEh::Color() const { return FColorAssigned ? FColor : DefaultColor(); }

void TSpecRowEh::SetColor(ui::TColor Value) {
    if (FColorAssigned && Value == FColor) return;
    FColor = Value;
    FColorAssigned = true;
    Changed();
}

ui::TFont* TSpecRowEh::Font() {
    if (!FFontAssigned) {
        ui::TFont* fallback = FallbackFont();
        if (fallback && (!FFont->SameFace(*fallback) || FFont->Color() != fallback->Color())) {
            // A copy of the owner's font is not the user's choice.
            rtl::TNotifyEvent saved = std::move(FFont->OnChange);
            FFont->OnChange = nullptr;
            FFont->Assign(fallback);
            FFont->OnChange = std::move(saved);
        }
    }
    return FFont.get();
}

void TSpecRowEh::FontChanged() {
    Changed();
    FFontAssigned = true;
}

void TSpecRowEh::SetShowIfNotInKeyList(bool Value) {
    if (Value == FShowIfNotInKeyList) return;
    FShowIfNotInKeyList = Value;
    Changed();
}

void TSpecRowEh::SetValue(const Variant& Value) {
    if (VariantValuesEqual(Value, FValue) && Value.IsNull() == FValue.IsNull()) return;
    FValue = Value;
    Changed();
}

void TSpecRowEh::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    Changed();
}

AnsiString TSpecRowEh::TextOfCell(int Index) const {
    if (Index < 0 || Index >= FCells->Count()) return AnsiString();
    return FCells->Strings(Index);
}

bool TSpecRowEh::MatchesKey(const Variant& KeyValue) const { return FVisible && VariantValuesEqual(FValue, KeyValue); }

void TSpecRowEh::EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
    Changed();
}

ui::TFont* TSpecRowEh::FallbackFont() { return ProcessDefaultFont(); }

ui::TColor TSpecRowEh::DefaultColor() const { return ui::clWindow; }

void TSpecRowEh::Changed() {
    if (FUpdateCount == 0 && OnChanged) OnChanged(this);
}

}  // namespace editors

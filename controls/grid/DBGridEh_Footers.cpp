// Column footers, the grid's sum list and the painting and texts of footer cells.
#include <cmath>

#include "controls/grid/DBGridEh_PaintPrims.h"
#include "controls/grid/DBGridEh_Setup.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"

namespace grid {

// ---------------------------------------------------------------------------------------------
// TColumnFooterEh

TColumnFooterEh::TColumnFooterEh(rtl::TCollection* Collection)
    : rtl::TCollectionItem(Collection), FFont(rtl::Create<ui::TFont>()) {
    if (auto* footers = dynamic_cast<TColumnFootersEh*>(Collection)) FColumn = footers->Column();
}

TColumnFooterEh::TColumnFooterEh(TColumnEh* Column)
    : rtl::TCollectionItem(nullptr), FColumn(Column), FFont(rtl::Create<ui::TFont>()) {}

void TColumnFooterEh::AfterConstruction() {
    rtl::TCollectionItem::AfterConstruction();
    if (ui::TFont* def = DefaultFont()) {
        FCopyingFont = true;
        rtl::TryFinally([&] { FFont->Assign(def); }, [&] { FCopyingFont = false; });
    }
    FFont->OnChange = [this](rtl::TObject*) {
        if (FCopyingFont) return;
        FFontAssigned = true;
        ReportChanged(true);
    };
    if (Collection())
        if (TCustomDBGridEh* g = Grid()) g->InvalidateFooter();
}

TColumnFooterEh::~TColumnFooterEh() {
    if (FDBSum) FDBSum->Free();
    if (Collection() && FColumn)
        if (TCustomDBGridEh* g = Grid(); g && !g->ComponentState().Contains(rtl::csDestroying)) g->InvalidateFooter();
}

TCustomDBGridEh* TColumnFooterEh::Grid() const { return FColumn ? FColumn->Grid() : nullptr; }

ui::TFont* TColumnFooterEh::DefaultFont() const {
    if (TCustomDBGridEh* g = Grid()) return g->FooterFont();
    return FColumn ? FColumn->Font() : nullptr;
}

void TColumnFooterEh::ReportChanged(bool AllItems) {
    if (FColumn) FColumn->Changed(AllItems);
}

TAlignment TColumnFooterEh::Alignment() const {
    if (FAlignmentAssigned) return FAlignment;
    db::TField* f = FColumn ? FColumn->Field() : nullptr;
    return f ? f->Alignment() : db::taLeftJustify;
}

void TColumnFooterEh::SetAlignment(TAlignment Value) {
    if (FAlignmentAssigned && FAlignment == Value) return;
    FAlignment = Value;
    FAlignmentAssigned = true;
    ReportChanged(false);
}

ui::TColor TColumnFooterEh::Color() const {
    if (FColorAssigned) return FColor;
    TCustomDBGridEh* g = Grid();
    return g ? g->FooterColor() : ui::clWindow;
}

void TColumnFooterEh::SetColor(ui::TColor Value) {
    if (FColorAssigned && FColor == Value) return;
    FColor = Value;
    FColorAssigned = true;
    ReportChanged(false);
}

ui::TFont* TColumnFooterEh::Font() {
    ui::TFont* def = DefaultFont();
    if (!FFontAssigned && def && (!(FFont->Data() == def->Data()) || FFont->Color() != def->Color())) {
        FCopyingFont = true;
        rtl::TryFinally([&] { FFont->Assign(def); }, [&] { FCopyingFont = false; });
    }
    return FFont.get();
}

bool TColumnFooterEh::ToolTips() const {
    if (FToolTipsAssigned) return FToolTips;
    TCustomDBGridEh* g = Grid();
    return g && g->ColumnDefValues()->Footer()->ToolTips();
}

void TColumnFooterEh::SetToolTips(bool Value) {
    if (FToolTipsAssigned && FToolTips == Value) return;
    FToolTips = Value;
    FToolTipsAssigned = true;
}

void TColumnFooterEh::SetDisplayFormat(const AnsiString& Value) {
    if (FDisplayFormat == Value) return;
    FDisplayFormat = Value;
    ReportChanged(false);
}

void TColumnFooterEh::SetEndEllipsis(bool Value) {
    FEndEllipsis = Value;
    ReportChanged(false);
}

void TColumnFooterEh::SetValue(const AnsiString& Value) {
    FValue = Value;
    ReportChanged(false);
}

void TColumnFooterEh::SetWordWrap(bool Value) {
    FWordWrap = Value;
    ReportChanged(false);
}

void TColumnFooterEh::SetFieldName(const WideString& Value) {
    FFieldName = Value;
    if (FColumn) FColumn->UpdateFooterSums();
    ReportChanged(false);
}

void TColumnFooterEh::SetValueType(TFooterValueType Value) {
    if (FValueType == Value) return;
    FValueType = Value;
    if (FColumn) FColumn->UpdateFooterSums();
    ReportChanged(false);
}

void TColumnFooterEh::BindSum() {
    TCustomDBGridEh* g = Grid();
    if (!g || !g->SumList()) return;
    if (FValueType != fvtSum && FValueType != fvtAvg && FValueType != fvtCount) {
        if (FDBSum) {
            TDBSum* s = FDBSum;
            FDBSum = nullptr;
            s->Free();
        }
        return;
    }
    TDBSumCollection* sums = g->SumList()->SumCollection();
    sums->BeginUpdate();
    rtl::TryFinally(
        [&] {
            if (!FDBSum) FDBSum = sums->Add();
            if (FValueType == fvtCount) {
                FDBSum->SetGroupOperation(goCount);
                FDBSum->SetFieldName(WideString());
            } else {
                FDBSum->SetGroupOperation(FValueType == fvtSum ? goSum : goAvg);
                FDBSum->SetFieldName(FFieldName.empty() ? FColumn->FieldName() : FFieldName);
            }
        },
        [&] { sums->EndUpdate(); });
}

void TColumnFooterEh::RestoreDefaults() {
    const bool fontWasAssigned = FFontAssigned;
    FAlignmentAssigned = FColorAssigned = FFontAssigned = FToolTipsAssigned = false;
    if (ui::TFont* def = DefaultFont()) {
        FCopyingFont = true;
        rtl::TryFinally([&] { FFont->Assign(def); }, [&] { FCopyingFont = false; });
    }
    ReportChanged(fontWasAssigned);
}

void TColumnFooterEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TColumnFooterEh*>(Source);
    if (!src) {
        rtl::TCollectionItem::Assign(Source);
        return;
    }
    if (src->FAlignmentAssigned) SetAlignment(src->FAlignment);
    if (src->FColorAssigned) SetColor(src->FColor);
    if (src->FFontAssigned) SetFont(src->FFont.get());
    SetEndEllipsis(src->FEndEllipsis);
    SetValueType(src->FValueType);
    SetFieldName(src->FFieldName);
    SetValue(src->FValue);
    SetWordWrap(src->FWordWrap);
    SetDisplayFormat(src->FDisplayFormat);
    SetToolTips(src->ToolTips());
}

TColumnFootersEh::TColumnFootersEh(TColumnEh* Column)
    : rtl::TCollection(TColumnFooterEh::StaticClass()), FColumn(Column) {}

rtl::TPersistent* TColumnFootersEh::GetOwner() { return FColumn; }

void TColumnFootersEh::Update(rtl::TCollectionItem*) {
    if (FColumn) FColumn->Changed(false);
}

// ---------------------------------------------------------------------------------------------
// The column's side

TColumnFooterEh* TColumnEh::FooterForIndex(int Index) const {
    if (FFooters && Index >= 0 && Index < FFooters->Count()) return FFooters->Items(Index);
    return FFooter.get();
}

void TColumnEh::UpdateFooterSums() {
    if (FFooter) FFooter->BindSum();
    if (FFooters)
        for (int i = 0; i < FFooters->Count(); ++i) FFooters->Items(i)->BindSum();
}

// ---------------------------------------------------------------------------------------------
// The grid's sum list

TDBGridEhSumList::TDBGridEhSumList(TCustomDBGridEh* Grid) : TDBSumListProducer(Grid), FGrid(Grid) {
    SetWorksAtDesignTime(true);
    SetActive(false);
}

void TDBGridEhSumList::HookDataSetEvents() {
    if (FGrid && FGrid->ComponentState().Contains(rtl::csDesigning))
        SetEventsHooked(true);
    else
        TDBSumListProducer::HookDataSetEvents();
}

void TDBGridEhSumList::UnhookDataSetEvents() {
    if (FGrid && FGrid->ComponentState().Contains(rtl::csDesigning))
        SetEventsHooked(false);
    else
        TDBSumListProducer::UnhookDataSetEvents();
}

// ---------------------------------------------------------------------------------------------
// Footer texts and painting

namespace {
bool IsIntegerField(db::TFieldType T) {
    return T == db::ftSmallint || T == db::ftInteger || T == db::ftWord || T == db::ftAutoInc || T == db::ftLargeint;
}

AnsiString FieldDisplayFormat(db::TField* Field) {
    auto* n = dynamic_cast<db::TNumericField*>(Field);
    return n ? n->DisplayFormat() : AnsiString();
}

// An aggregate as the field's kind of number shows it.
AnsiString FormatAggregate(db::TField* Field, const AnsiString& FooterFormat, rtl::Currency Value) {
    const double v = static_cast<double>(Value.Value) / static_cast<double>(rtl::Currency::Scale);
    const db::TFieldType t = Field->DataType();
    const AnsiString fieldFormat = FieldDisplayFormat(Field);
    if (IsIntegerField(t)) {
        if (!FooterFormat.empty()) return rtl::FormatFloat(FooterFormat, v);
        if (!fieldFormat.empty()) return rtl::FormatFloat(fieldFormat, v);
        return rtl::IntToStr(static_cast<int64_t>(Value.Value / rtl::Currency::Scale));
    }
    if (t == db::ftFloat || t == db::ftCurrency) {
        if (!FooterFormat.empty()) return rtl::FormatFloat(FooterFormat, v);
        if (!fieldFormat.empty()) return rtl::FormatFloat(fieldFormat, v);
        auto* f = dynamic_cast<db::TFloatField*>(Field);
        if (f && f->Currency())
            return rtl::FloatToStrF(v, rtl::ffCurrency, f->Precision(), rtl::FormatSettings().CurrencyDecimals);
        return rtl::FloatToStrF(v, rtl::ffGeneral, f ? f->Precision() : 15, 0);
    }
    if (t == db::ftBCD || t == db::ftFMTBcd) {
        if (!FooterFormat.empty()) return rtl::FormatFloat(FooterFormat, v);
        if (!fieldFormat.empty()) return rtl::FormatCurr(fieldFormat, Value);
        auto* f = dynamic_cast<db::TBCDField*>(Field);
        if (f && f->Currency()) return rtl::CurrToStrF(Value, rtl::ffCurrency, rtl::FormatSettings().CurrencyDecimals);
        return rtl::CurrToStrF(Value, rtl::ffGeneral, 0);
    }
    return "0";
}
}  // namespace

AnsiString TCustomDBGridEh::GetFooterValueText(int FooterIndex, TColumnEh* Column) {
    TColumnFooterEh* footer = Column ? Column->FooterForIndex(FooterIndex) : nullptr;
    if (!footer) return {};
    db::TDataSet* ds = DataSet();
    switch (footer->ValueType()) {
        case fvtNon: return {};
        case fvtSum:
        case fvtAvg: {
            const WideString name = footer->FieldName().empty() ? Column->FieldName() : footer->FieldName();
            db::TField* field = ds ? ds->FindField(name) : nullptr;
            if (!field) return "0";
            TDBSum* sum = FSumList->SumCollection()->FindSum(footer->ValueType() == fvtSum ? goSum : goAvg, name);
            return FormatAggregate(field, footer->DisplayFormat(), sum ? sum->SumValue : rtl::Currency{});
        }
        case fvtCount: {
            TDBSum* sum = FSumList->SumCollection()->FindSum(goCount, WideString());
            const int64_t n = sum ? sum->SumValue.Value / rtl::Currency::Scale : 0;
            if (!footer->DisplayFormat().empty())
                return rtl::FormatFloat(footer->DisplayFormat(), static_cast<double>(n));
            return rtl::IntToStr(n);
        }
        case fvtFieldValue: {
            if (!ds || !ds->Active() || footer->FieldName().empty()) return {};
            db::TField* field = ds->FieldByName(footer->FieldName());
            if (!footer->DisplayFormat().empty() && dynamic_cast<db::TNumericField*>(field) && !field->IsNull())
                return rtl::FormatFloat(footer->DisplayFormat(), field->AsFloat());
            return field->DisplayText();
        }
        case fvtStaticText: return footer->Value();
    }
    return {};
}

void TCustomDBGridEh::InvalidateFooter() {
    if (!HandleAllocated() || FFooterRowCount <= 0) return;
    for (int r = std::max(RowCount() - FFooterRowCount, 0); r < RowCount(); ++r) InvalidateRow(r);
}

void TCustomDBGridEh::DrawFooterCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State,
                                     const TRect& ARect) {
    ui::TCanvas* C = Canvas();
    if (Area.DataCol < 0 || Area.DataCol >= FColumns->Count()) return;
    TColumnEh* column = FColumns->Items(Area.DataCol);
    TColumnFooterEh* footer = column->FooterForIndex(Area.DataRow);
    C->SetFont(footer->Font());
    C->Brush()->SetColor(footer->Color());
    const bool is3D = IsCellDrawn3D(ACol, ARow, State);
    const bool themed = IsCellThemed(ACol, ARow, is3D);
    const TRect inner = paint::InnerCellRect(ARect, themed, is3D, Flat());
    const int DX = is3D ? (themed ? 3 : 1) : 2;
    const int DY = Flat() ? DX - 1 : DX;
    ui::TColor background = C->Brush()->Color();
    TAlignment alignment = footer->Alignment();
    AnsiString text = GetFooterValueText(Area.DataRow, column);
    GetFooterParams(Area.DataCol, Area.DataRow, column, C->Font(), background, alignment, State, text);
    const bool highlighted =
        GetSelectedFixedCellColors(ACol, ARow, C->Font(), background, IsCellSelected(ACol, ARow, Area.DataCol), Area);
    C->Brush()->SetColor(background);
    const bool flatThemed = Flat() && editors::ThemesActive();
    if (FDefaultDrawing) {
        const bool framed = is3D && (themed || flatThemed);
        if (framed) FillCellBackground(themed, ARect, is3D, TRect{}, highlighted, false);
        grid::WriteCellText(C, inner, !framed, DX, DY, text, alignment, column->Layout(),
                            footer->WordWrap() && FRowFitsMoreThanOneLine, footer->EndEllipsis(), 0, 0, false);
    }
    if (is3D && !themed) DrawCellFrame(ARect, !flatThemed, true, highlighted, false);
    if (OnDrawFooterCell) OnDrawFooterCell(this, Area.DataCol, Area.DataRow, column, ARect, State);
}

}  // namespace grid

// The data grid's layout: one rebuild of columns, counts, heights and auto-fitted widths, the
// brackets that batch requests for it, and what sizing a column does.
#include <algorithm>
#include <cmath>

#include "controls/grid/DBGridEh.h"
#include "framework/rtl/Ownership.h"

namespace grid {

namespace {

void RemoveQueued(ui::HWND Wnd, ui::UINT Message) {
    ui::TMsg m;
    while (ui::PeekMessage(m, Wnd, Message, Message, ui::PM_REMOVE)) {
    }
}

}  // namespace

int FitRowHeightToText(int Height, int Margin, int LineHeight, int& Lines) {
    if (LineHeight <= 0) {
        Lines = 0;
        return Height;
    }
    const int lines = (Height - Margin) / LineHeight;
    const int rest = (Height - Margin) % LineHeight;
    const int h =
        (rest <= LineHeight / 2 && lines > 0) ? lines * LineHeight + Margin : (lines + 1) * LineHeight + Margin;
    Lines = (h - Margin) / LineHeight;
    return h;
}

// ---------------------------------------------------------------------------------------------
// Requests

void TCustomDBGridEh::PostLayoutRequest() {
    if (HandleAllocated()) {
        ui::TMsg m;
        if (!ui::PeekMessage(m, Handle(), CM_DEFERLAYOUT, CM_DEFERLAYOUT, ui::PM_NOREMOVE))
            ui::PostMessage(Handle(), CM_DEFERLAYOUT, 0, 0);
    }
    if (FLayoutNesting > 0) {
        if (FLayoutNesting == 1) FColumns->EndUpdate();
        --FLayoutNesting;
        UnlockUpdates();
    }
    UnlockUpdates();
}

void TCustomDBGridEh::WndProc(ui::TMessage& Message) {
    if (FilterRowPress(Message)) return;
    if (Message.Msg == CM_DEFERLAYOUT) {
        if (TryOpenLayoutBracket())
            CloseLayoutBracket();
        else
            PostLayoutRequest();
        return;
    }
    if (Message.Msg == ui::CM_CANCELMODE) {
        TCustomGridEh::WndProc(Message);
        EndMouseTracking();
        // The filter editor's drop-down closes with the grid's other modes.
        if (FFilterEdit) FFilterEdit->Perform(ui::CM_CANCELMODE, Message.WParam, Message.LParam);
        return;
    }
    if (Message.Msg == CM_FOCUSFILTEREDIT) {
        if (Focused() && FFilterEditing && FFilterEdit && FFilterEdit->Visible()) FFilterEdit->SetFocus();
        return;
    }
    TCustomGridEh::WndProc(Message);
}

// ---------------------------------------------------------------------------------------------
// Rebuild

int TCustomDBGridEh::CalcIndicatorWidth() {
    int r = FOptions.Contains(dgIndicator) ? 11 : 0;
    db::TDataSet* ds = DataSet();
    if (FOptionsEh.Contains(dghShowRecNo) && ds && ds->IsSequenced()) {
        const int count = FDataLink->Active() ? std::max(ds->RecordCount(), 0) : 0;
        const int digits = std::min(static_cast<int>(std::to_string(count).size()), 102);
        ui::TFont f;
        f.Assign(Font());
        f.SetSize(f.Size() - 1);
        r = MeasureText(this, &f, AnsiString(digits, '0')).cx + 2 + (FOptions.Contains(dgIndicator) ? 11 : 2);
        r = std::max(r, 11);
    }
    return r;
}

void TCustomDBGridEh::ComputeRowHeights() {
    const int lineWidth = FOptions.Contains(dgRowLines) ? GridLineWidth() : 0;
    const ui::TTextMetric tm = MeasureMetrics(this, Font());
    const int margin = (Flat() ? 1 : 3) + lineWidth;
    const int lineHeight = MeasureText(this, Font(), "Wg").cy;
    if (FRowHeight > 0 || FRowLines > 0)
        FDefaultRowHeight = FRowHeight + (tm.tmHeight + tm.tmExternalLeading) * FRowLines;
    else
        FDefaultRowHeight = lineHeight + margin;
    if (FOptionsEh.Contains(dghFitRowHeightToText) && lineHeight > 0) {
        int lines = 0;
        FDefaultRowHeight = FitRowHeightToText(FDefaultRowHeight, margin, lineHeight, lines);
        FRowLines = lines;
        FRowHeight = margin;
    }
    const int byWidth = static_cast<int>(std::nearbyint(1.5 * FEditButtonWidth));
    FEditButtonHeight =
        byWidth < FDefaultRowHeight ? editors::EditButtonHeightForWidth(FEditButtonWidth, Flat()) : FDefaultRowHeight;
    FRowFitsMoreThanOneLine =
        tm.tmHeight + tm.tmExternalLeading + tm.tmInternalLeading + FCellTextMargin < FDefaultRowHeight;
    if (FOptions.Contains(dgTitles) && !FUseMultiTitle) {
        int h = 0;
        for (int i = 0; i < FColumns->Count(); ++i)
            h = std::max(h, MeasureText(this, FColumns->Items(i)->Title()->Font(), "Wg").cy);
        if (FColumns->Count() == 0) h = MeasureText(this, FTitleFont.get(), "Wg").cy;
        FTitleRowHeight = h + FCellTextMargin;
    }
}

void TCustomDBGridEh::RebuildLayout() {
    if (Loading() || IsDestroying()) return;
    if (HandleAllocated()) RemoveQueued(Handle(), CM_DEFERLAYOUT);

    // A persistent column after a default one: the default ones are stale.
    bool seenDefault = false, stray = false;
    for (int i = 0; i < FColumns->Count(); ++i) {
        if (FColumns->Items(i)->IsDefaultColumn())
            seenDefault = true;
        else if (seenDefault)
            stray = true;
    }
    if (stray)
        for (int i = FColumns->Count() - 1; i >= 0; --i)
            if (FColumns->Items(i)->IsDefaultColumn()) FColumns->Delete(i);

    FIndicatorColCount = IndicatorVisible() ? 1 : 0;
    FDataLink->ClearFieldMapping();
    if (FDataLink->Active()) MapDataLinkFields();

    if (FColumns->HasPersistentColumns()) {
        FColumns->ClearFieldReferences();
    } else {
        const int mapped = FDataLink->FieldMappingCount();
        if (FDataLink->Active() || !FDataLink->UsesDefaultFields()) {
            for (int i = FColumns->Count() - 1; i >= 0; --i) {
                db::TField* f = FColumns->Items(i)->CachedField();
                bool found = false;
                for (int m = 0; f && m < mapped && !found; ++m) found = FDataLink->MappedField(m) == f;
                if (!found) FColumns->Delete(i);
            }
        } else {
            FColumns->Clear();
        }
        for (int i = 0; i < mapped; ++i) {
            db::TField* f = FDataLink->MappedField(i);
            TColumnEh* c = nullptr;
            for (int j = i; j < FColumns->Count() && !c; ++j)
                if (FColumns->Items(j)->CachedField() == f) c = FColumns->Items(j);
            if (!c) {
                c = FColumns->AddDefaultColumn();
                c->SetField(f);
            }
            if (c->Index() != i) c->SetIndex(i);
        }
    }

    FDisplayedColumnList->Clear();
    int hiddenFrozen = 0;
    for (int i = 0; i < FColumns->Count(); ++i) {
        TColumnEh* c = FColumns->Items(i);
        if (c->Visible())
            FDisplayedColumnList->Add(c);
        else if (i <= FFrozenCols + hiddenFrozen)
            ++hiddenFrozen;
    }

    const bool dataShape = FDataLink->Active() || FColumns->HasPersistentColumns();
    const int columns = FColumns->Count();
    int contra = 0;
    if (dataShape) contra = std::clamp(FContraColumns, 0, std::max(columns - FFrozenCols - hiddenFrozen, 0));
    const int colCount = std::max(columns + FIndicatorColCount - contra, 1);
    int fixed = FIndicatorColCount + (dataShape ? FFrozenCols : 0) + hiddenFrozen;
    if (FDisplayedColumnList->Count() == 0 && fixed > 0) --fixed;
    fixed = std::clamp(fixed, 0, colCount - 1);
    if (FixedCols() >= colCount) SetFixedCols(0);
    TCustomGridEh::SetContraColCount(0);
    SetColCount(colCount);
    TCustomGridEh::SetContraColCount(contra);
    SetFixedCols(fixed);
    const int titleRows = TitleRowCount();
    if (RowCount() <= titleRows) SetRowCount(titleRows + 1);
    SetFixedRows(titleRows);
    FLastTopLeft = {LeftCol(), TopRow()};

    ComputeRowHeights();
    // The vertical bar is the record window's (UpdateVertScrollBar); the base grid keeps the other.
    const ui::TScrollStyle wanted = WantedBaseScrollBars();
    if (ScrollBars() != wanted) {
        SetScrollBars(wanted);
        UpdateVertScrollBar();
    }
    UpdateColumnTabStopsAndWidths();
    if (FAutoFitColWidths && !ComponentState().Contains(rtl::csDesigning) && HandleAllocated()) RunAutoFit();

    if (FOptions.Contains(dgTitles)) {
        if (FTitleHeight > 0 || FTitleLines > 0) {
            ui::TFont* tallest = FTitleFont.get();
            int best = -1;
            for (int i = 0; i < FColumns->Count(); ++i) {
                ui::TFont* f = FColumns->Items(i)->Title()->Font();
                const int h = MeasureMetrics(this, f).tmHeight;
                if (h > best) {
                    best = h;
                    tallest = f;
                }
            }
            const ui::TTextMetric tm = MeasureMetrics(this, tallest);
            FTitleRowHeight = FTitleLines * tm.tmHeight + tm.tmExternalLeading + FTitleHeight + 2 +
                              (FOptions.Contains(dgRowLines) ? 1 : 0);
        }
        if (FUseMultiTitle) {
            BuildTitleTree();
            FTitleRowHeight = TitleTreeHeight(FHeadTree.get()) - (FOptionsEh.Contains(dghFixed3D) ? 1 : 3);
        }
    }
    if (!FUseMultiTitle || !FOptions.Contains(dgTitles)) {
        FHeadTree->FreeChildren();
        FLeafFieldArr.clear();
    }
    UpdateColumnTabStopsAndWidths();
    UpdateRowCount();
    SyncActiveRecord();
    Invalidate();
    if (FSelection && FSelection->SelectionType() == gstColumns) FSelection->Columns()->Refresh();
}

// Measured as the title painter wraps.
int MeasureWrappedTextHeight(const ui::TControl* Control, ui::TFont* Font, const AnsiString& Text, int Width) {
    ui::TCanvas canvas;
    canvas.Font()->Assign(Font);
    if (ui::TSurface* s = Control->MeasureSurface()) canvas.SetSurface(s);
    TRect r{0, 0, std::max(Width, 1), 0};
    return canvas.DrawText(Text, r, ui::DT_CALCRECT | ui::DT_WORDBREAK | ui::DT_NOPREFIX);
}

int TCustomDBGridEh::TitleTreeHeight(THeadTreeNode* Node) {
    THeadTreeNode* first = Node->FirstChild;
    int height = 0;
    if (!first) {
        Node->CellHeight = 0;
        return 0;
    }
    struct TLevel {
        THeadTreeNode* Child;
        int Below;
    };
    std::vector<TLevel> children;
    for (THeadTreeNode* c = first;; c = c->NextSibling) {
        const int below = c->FirstChild ? TitleTreeHeight(c) : 0;
        ui::TFont* font = c->LeafColumn && !c->FirstChild ? c->LeafColumn->Title()->Font() : FTitleFont.get();
        const AnsiString text = c->Caption.empty() ? AnsiString(" ") : c->Caption;
        int own = 0;
        if (c->CellWidth > 0) {
            const bool vertical =
                c->LeafColumn && !c->FirstChild && c->LeafColumn->Title()->Orientation() == tohVertical;
            // A vertical title stands rotated: its height is the text's width.
            own = (vertical ? MeasureText(this, font, text).cx
                            : MeasureWrappedTextHeight(this, font, text, c->CellWidth)) +
                  FVTitleMargin;
        }
        height = std::max(height, below + own);
        children.push_back({c, below});
        if (c->NextSibling == first) break;
    }
    for (const TLevel& l : children) l.Child->CellHeight = height - l.Below;
    Node->CellHeight = height;
    return height;
}

// The widths of auto-fitted columns share the client width in proportion to their base widths.
void TCustomDBGridEh::RunAutoFit() {
    std::vector<TColumnEh*> visible;
    for (int i = 0; i < FColumns->Count(); ++i)
        if (FColumns->Items(i)->Visible()) visible.push_back(FColumns->Items(i));
    for (TColumnEh* c : visible) c->AutoFitFixed = false;
    int W = 0, S = 0;
    for (size_t pass = 0; pass < std::max<size_t>(visible.size(), 1); ++pass) {
        UpdateVertScrollBar();
        int F = 0, B = 0;
        for (TColumnEh* c : visible) {
            if (!c->AutoFitColWidth() || c->AutoFitFixed)
                F += c->Width();
            else
                B += c->FitWidth();
        }
        W = std::max(std::max(ClientWidth(), FMinAutoFitWidth) - F, 0);
        if (IndicatorVisible()) W -= FIndicatorColWidth;
        if (FOptions.Contains(dgColLines)) W -= static_cast<int>(visible.size());
        if (IndicatorVisible() && FOptions.Contains(dgColLines)) W -= 1;
        S = 0;
        bool changed = false;
        // Base widths summing to nothing give no proportion; the remainder step places W.
        if (B <= 0) {
            for (TColumnEh* c : visible)
                if (c->AutoFitColWidth() && !c->AutoFitFixed) S += c->Width();
            break;
        }
        for (TColumnEh* c : visible) {
            if (!c->AutoFitColWidth() || c->AutoFitFixed) continue;
            const int want = ui::MulDiv(c->FitWidth(), W, B);
            c->SetWidth(want);
            if (c->Width() != want) {
                c->AutoFitFixed = true;
                changed = true;
            }
            S += c->Width();
        }
        if (!changed) break;
    }
    TColumnEh* last = nullptr;
    for (TColumnEh* c : visible)
        if (c->AutoFitColWidth() && !c->AutoFitFixed) last = c;
    // Every column at its limit: nobody is left to take the remainder.
    if (last && S != W) last->SetWidth(std::max(last->Width() + W - S, 0));
    UpdateColumnTabStopsAndWidths();
}

// ---------------------------------------------------------------------------------------------
// Sizing

bool TCustomDBGridEh::GridWidthsDiffer() {
    for (int i = 0; i < FColumns->Count(); ++i) {
        const int gc = DataToGridCol(i);
        if (gc >= FullColCount()) break;
        TColumnEh* c = FColumns->Items(i);
        if (c->Visible() && ColWidths(gc) != c->Width()) return true;
    }
    return false;
}

void TCustomDBGridEh::ColWidthsChanged() {
    FSTFilter->BeginUpdate();
    rtl::TryFinally(
        [&] {
            // Widths the columns already hold (a column's own write) need no layout.
            if ((FDataLink->Active() || FColumns->HasPersistentColumns()) && GridWidthsDiffer() &&
                TryOpenLayoutBracket()) {
                rtl::TryFinally(
                    [&] {
                        TCustomGridEh::ColWidthsChanged();
                        const bool autoFit = FAutoFitColWidths && !ComponentState().Contains(rtl::csDesigning);
                        for (int i = 0; i < FColumns->Count(); ++i) {
                            const int gc = DataToGridCol(i);
                            if (gc >= FullColCount()) break;
                            TColumnEh* c = FColumns->Items(i);
                            if (!c->Visible()) continue;
                            const int old = c->Width();
                            const int now = c->ClampWidth(ColWidths(gc));
                            if (now == old) continue;
                            if (!autoFit || !c->AutoFitColWidth()) {
                                c->SetWidth(now);
                            } else if (FOptionsEh.Contains(dghResizeWholeRightPart)) {
                                const int base = c->FitWidth();
                                c->SetFitWidth(ui::MulDiv(now, base, old));
                                int R = 0;
                                for (int j = i + 1; j < FColumns->Count(); ++j) {
                                    TColumnEh* r = FColumns->Items(j);
                                    if (r->Visible() && r->AutoFitColWidth()) R += r->Width();
                                }
                                for (int j = i + 1; j < FColumns->Count(); ++j) {
                                    TColumnEh* r = FColumns->Items(j);
                                    if (r->Visible() && r->AutoFitColWidth())
                                        r->SetFitWidth(std::max(ui::MulDiv(R + old - now, r->FitWidth(), R), 1));
                                }
                            } else {
                                const int base = c->FitWidth();
                                // A column at width 0 has no ratio to scale by: its base becomes the new width.
                                const int newBase = old > 0 ? ui::MulDiv(base, now, old) : now;
                                c->SetFitWidth(newBase);
                                for (int j = i + 1; j < FColumns->Count(); ++j) {
                                    TColumnEh* next = FColumns->Items(j);
                                    if (!next->Visible()) continue;
                                    next->SetFitWidth(std::max(next->FitWidth() + base - newBase, 0));
                                    break;
                                }
                            }
                        }
                    },
                    [&] { CloseLayoutBracket(); });
            } else {
                TCustomGridEh::ColWidthsChanged();
            }
        },
        [&] { FSTFilter->EndUpdate(); });
    UpdateEdit();
    if (OnColWidthsChanged) OnColWidthsChanged(this);
    UpdateExtHorzScrollBar();
}

// A row sized by the user sets the height of every data row.
void TCustomDBGridEh::RowHeightsChanged() {
    if (!FOptionsEh.Contains(dghAutoFitRowHeight) && !OnGetRowHeight && GridState() == gsRowSizing) {
        for (int r = TitleRowCount(); r < RowCount(); ++r) {
            const int h = RowHeights(r);
            if (h == FDefaultRowHeight) continue;
            FRowHeight = h;
            FRowLines = 0;
            LinkLayoutChanged();
            UpdateVertScrollBar();
            break;
        }
    }
    TCustomGridEh::RowHeightsChanged();
}

void TCustomDBGridEh::FlatChanged() {
    FCellTextMargin = Flat() ? 2 : 4;
    RecreateWnd();
    LinkLayoutChanged();
}

void TCustomDBGridEh::CreateParams(ui::TCreateParams& Params) {
    TCustomGridEh::CreateParams(Params);
    if (Flat() && Ctl3D()) {
        Params.Style &= ~ui::WS_BORDER;
        Params.ExStyle &= ~ui::WS_EX_CLIENTEDGE;
        FBorderWidth = BorderStyle() == ui::TBorderStyle::bsSingle ? 1 : 0;
    } else {
        FBorderWidth = 0;
    }
    Params.Style |= ui::WS_CLIPCHILDREN;
}

void TCustomDBGridEh::WMNCCalcSize(ui::TWMNCCalcSize& Message) {
    TCustomGridEh::WMNCCalcSize(Message);
    if (Message.CalcSize_Params) Message.CalcSize_Params->Rgrc[0].Inflate(-FBorderWidth, -FBorderWidth);
}

void TCustomDBGridEh::WMNCPaint(ui::TMessage& Message) {
    TCustomGridEh::WMNCPaint(Message);
    PaintFlatBorder();
}

void TCustomDBGridEh::PaintFlatBorder() {
    if (!Flat() || BorderStyle() != ui::TBorderStyle::bsSingle || !Ctl3D() || !HandleAllocated()) return;
    ui::HDC dc = ui::GetWindowDC(Handle());
    if (!dc) return;
    rtl::TryFinally(
        [&] {
            TRect r{0, 0, Width(), Height()};
            ui::DrawEdge(dc, r, ui::BDR_SUNKENOUTER, ui::BF_RECT);
        },
        [&] { ui::ReleaseDC(Handle(), dc); });
}

void TCustomDBGridEh::ChangeScale(int M, int D) {
    if (M == D || D == 0) return;
    if (!ParentFont()) {
        FTitleFont->SetSize(ui::MulDiv(Font()->Size(), M, D));
        FFooterFont->SetSize(ui::MulDiv(FFooterFont->Size(), M, D));
    }
    FColumns->BeginUpdate();
    rtl::TryFinally(
        [&] {
            int sum = 0, placed = 0;
            for (int i = 0; i < FColumns->Count(); ++i) {
                TColumnEh* c = FColumns->Items(i);
                if (c->AssignedValues().Contains(cvFont)) c->Font()->SetSize(ui::MulDiv(c->Font()->Size(), M, D));
                if (c->AssignedValues().Contains(cvTitleFont))
                    c->Title()->Font()->SetSize(ui::MulDiv(c->Title()->Font()->Size(), M, D));
                // Scaled as a running sum, so the rounding errors do not add up.
                sum += c->Width();
                const int scaled = ui::MulDiv(sum, M, D);
                c->SetWidth(scaled - placed);
                placed = scaled;
            }
        },
        [&] { FColumns->EndUpdate(); });
    if (!ParentFont()) Font()->SetSize(ui::MulDiv(Font()->Size(), M, D));
    SetBounds(ui::MulDiv(Left(), M, D), ui::MulDiv(Top(), M, D), ui::MulDiv(Width(), M, D), ui::MulDiv(Height(), M, D));
}

void TCustomDBGridEh::WMSize(ui::TWMSize& Message) {
    TCustomGridEh::WMSize(Message);
    if (FUpdateNesting > 0) {
        FSizeChangedWhileLocked = true;
        return;
    }
    if (!FAutoFitColWidths || ComponentState().Contains(rtl::csDesigning)) {
        UpdateRowCount();
        UpdateVertScrollBar();
    } else {
        LinkLayoutChanged();
        UpdateEdit();
    }
    UpdateExtHorzScrollBar();
}

void TCustomDBGridEh::UpdateAfterResize() {
    FSizeChangedWhileLocked = false;
    const bool indicatorStale = IndicatorVisible() && ColCount() > 0 && ColWidths(0) != CalcIndicatorWidth();
    if (FAutoFitColWidths || (indicatorStale && !ComponentState().Contains(rtl::csDesigning))) {
        LinkLayoutChanged();
        UpdateEdit();
    } else {
        UpdateRowCount();
        UpdateVertScrollBar();
    }
}

ui::TScrollStyle TCustomDBGridEh::WantedBaseScrollBars() const {
    const bool horz = (!FAutoFitColWidths || ComponentState().Contains(rtl::csDesigning)) && FHorzScrollBar->Visible();
    return horz ? ui::TScrollStyle::ssHorizontal : ui::TScrollStyle::ssNone;
}

void TCustomDBGridEh::CreateWnd() {
    FScrollBars = WantedBaseScrollBars();
    LockUpdates();
    rtl::TryFinally([&] { TCustomGridEh::CreateWnd(); }, [&] { UnlockUpdates(); });
    FEditButtonWidth = Flat() ? editors::FlatButtonWidth() : ui::GetSystemMetrics(ui::SM_CXVSCROLL);
    if (FAutoFitColWidths) {
        LinkLayoutChanged();
    } else if (FLayoutNesting == 0) {
        UpdateRowCount();
        SyncActiveRecord();
    }
    UpdateVertScrollBar();
}

}  // namespace grid

namespace grid {

// ---------------------------------------------------------------------------------------------
// Widths from the data

int TCustomDBGridEh::TitleTextWidth(TColumnEh* Column) {
    TColumnTitleEh* t = Column->Title();
    const int marker = t->SortMarkerAreaWidth();
    const int m = marker >= 3 ? marker + 2 : 4;
    if (FTitleImages && t->ImageIndex() != -1) return m + FTitleImages->Width();
    AnsiString caption = t->Caption();
    if (FUseMultiTitle) {
        const size_t bar = caption.rfind('|');
        if (bar != AnsiString::npos) caption = caption.substr(bar + 1);
    }
    const ui::TSize sz = MeasureText(this, t->Font(), caption);
    return t->Orientation() == tohVertical ? m + sz.cy : sz.cx + m;
}

int TCustomDBGridEh::FooterTextWidth(TColumnEh* Column) {
    int width = 0;
    ui::TFont font;
    for (int row = 0; row < FFooterRowCount; ++row) {
        font.Assign(FFooterFont.get());
        AnsiString text = FooterCellText(Column, row);
        ui::TColor background = FFooterColor;
        TAlignment alignment = Column->Alignment();
        GetFooterParams(Column->Index(), row, Column, &font, background, alignment, TGridDrawState{}, text);
        const int w = MeasureText(this, &font, text).cx;
        width = std::max(width, w + 5);
    }
    return width;
}

int TCustomDBGridEh::CellTextWidth(TColumnEh* Column) {
    const int m = Column->AlwaysShowEditButton() ? Column->EditButtonsWidth() + 4 : 4;
    const TColumnCellKindEh kind = Column->CellKind();
    if (kind == cckImage && Column->ImageList()) return m + Column->ImageList()->Width();
    if (kind == cckCheckBox) return m + editors::CheckBoxWidth();
    int extra = 0;
    if (Column->ShowImageAndText() && Column->ImageList()) extra = Column->ImageList()->Width() + 4;
    return MeasureText(this, Column->Font(), Column->KeyListDisplayText()).cx + m + extra;
}

void TCustomDBGridEh::FitColumnWidth(TColumnEh* Column) {
    rtl::TOwnedPtr<TColumnsEhList> list(rtl::Create<TColumnsEhList>());
    if (SelectionType() == gstColumns) {
        for (int i = 0; i < FSelection->Columns()->Count(); ++i) list->Add(FSelection->Columns()->Items(i));
    } else if (SelectionType() == gstAll) {
        for (int i = 0; i < FColumns->Count(); ++i) list->Add(FColumns->Items(i));
    }
    if (Column && list->IndexOf(Column) < 0) list->Add(Column);
    FitColumnsWidth(list.get());
}

void TCustomDBGridEh::FitColumnsWidth(TColumnsEhList* Columns) {
    const int n = Columns->Count();
    std::vector<int> widths(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) widths[static_cast<size_t>(i)] = TitleTextWidth(Columns->Items(i));
    db::TDataSet* ds = DataSet();
    if (!FDataLink->Active() || !ds) return;
    ds->DisableControls();
    rtl::TryFinally(
        [&] {
            const TSavedPosition saved = SavePosition();
            rtl::TryFinally(
                [&] {
                    const bool numbered = ds->IsSequenced();
                    ds->First();
                    while (!ds->Eof()) {
                        for (int i = 0; i < n; ++i)
                            widths[static_cast<size_t>(i)] =
                                std::max(widths[static_cast<size_t>(i)], CellTextWidth(Columns->Items(i)));
                        if (numbered && ds->RecNo() >= ds->RecordCount()) break;
                        ds->Next();
                    }
                },
                [&] { RestorePosition(saved); });
        },
        [&] { ds->EnableControls(); });
    auto assign = [&] {
        for (int i = 0; i < n; ++i) {
            TColumnEh* c = Columns->Items(i);
            c->SetWidth(std::max(widths[static_cast<size_t>(i)], FooterTextWidth(c)));
        }
    };
    if (FAutoFitColWidths) {
        assign();
    } else {
        OpenLayoutBracket();
        rtl::TryFinally(assign, [&] { CloseLayoutBracket(); });
    }
}

}  // namespace grid

#include "controls/grid/DBGridEhImpExp.h"

#include <cmath>
#include <charconv>
#include <cstring>
#include <limits>
#include <utility>

#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Dialogs.h"
#include "framework/ui/Forms.h"

namespace grid {

ui::TClipboardFormat CF_VCLDBIF() {
    static const ui::TClipboardFormat f = ui::RegisterClipboardFormat("VCLDBIF");
    return f;
}
ui::TClipboardFormat CF_CSV() {
    static const ui::TClipboardFormat f = ui::RegisterClipboardFormat("Csv");
    return f;
}
ui::TClipboardFormat CF_RICH_TEXT_FORMAT() {
    static const ui::TClipboardFormat f = ui::RegisterClipboardFormat("Rich Text Format");
    return f;
}

namespace {

// The formats exist from start-up, as other programs look them up by name.
[[maybe_unused]] const bool FormatsRegistered = (CF_VCLDBIF(), CF_CSV(), CF_RICH_TEXT_FORMAT(), true);

constexpr int ExportGrowthDelta = 65536;

// The commands' memory stream: it grows at least by doubling, so that a copy of many megabytes
// moves its bytes a few times rather than once per step, and keeps its block when emptied for the
// next format. The capacity stays a multiple of the growth step.
class TExportStreamEh : public editors::TMemoryStreamEh {
    RTL_CLASS(TExportStreamEh, editors::TMemoryStreamEh)
public:
    TExportStreamEh() { SetGrowthDelta(ExportGrowthDelta); }

protected:
    void GrowCapacity(int64_t& NewCapacity) override {
        if (NewCapacity <= Capacity())
            NewCapacity = Capacity();
        else
            NewCapacity = std::max(NewCapacity, 2 * Capacity());
        editors::TMemoryStreamEh::GrowCapacity(NewCapacity);
    }
};

rtl::TOwnedPtr<TExportStreamEh> NewExportStream() {
    return rtl::TOwnedPtr<TExportStreamEh>(rtl::Create<TExportStreamEh>());
}

// A stream over a byte array it owns: the clipboard commands hand the array over, and take the
// clipboard's over, without copying a byte.
class TClipboardStreamEh : public rtl::TStream {
    RTL_CLASS(TClipboardStreamEh, rtl::TStream)
public:
    TClipboardStreamEh() = default;
    explicit TClipboardStreamEh(rtl::TBytes Data) : FData(std::move(Data)) {}

    int64_t Read(void* Buffer, int64_t Count) override {
        const auto size = static_cast<int64_t>(FData.size());
        if (Count <= 0 || FPosition >= size) return 0;
        const int64_t n = std::min(Count, size - FPosition);
        std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
        FPosition += n;
        return n;
    }
    int64_t Write(const void* Buffer, int64_t Count) override {
        if (Count <= 0) return 0;
        // Positions and sizes are 32-bit in the exports, as with the memory stream.
        if (FPosition + Count > std::numeric_limits<int32_t>::max())
            throw rtl::EStreamError("Out of memory while expanding memory stream");
        const auto* p = static_cast<const uint8_t*>(Buffer);
        const auto pos = static_cast<size_t>(FPosition);
        if (pos > FData.size()) FData.resize(pos);
        const size_t over = std::min(FData.size() - pos, static_cast<size_t>(Count));
        if (over) std::memcpy(FData.data() + pos, p, over);
        FData.insert(FData.end(), p + over, p + Count);
        FPosition += Count;
        return Count;
    }
    int64_t Seek(int64_t Offset, rtl::TSeekOrigin Origin) override {
        switch (Origin) {
            case rtl::soBeginning: FPosition = Offset; break;
            case rtl::soCurrent: FPosition += Offset; break;
            case rtl::soEnd: FPosition = static_cast<int64_t>(FData.size()) + Offset; break;
        }
        return FPosition;
    }
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    void SetSize(int64_t NewSize) override {
        FData.resize(static_cast<size_t>(std::max<int64_t>(NewSize, 0)));
        FPosition = std::min(FPosition, static_cast<int64_t>(FData.size()));
    }

    rtl::TBytes& Bytes() noexcept { return FData; }
    int64_t Remaining() const noexcept { return static_cast<int64_t>(FData.size()) - FPosition; }
    // The next Count bytes, passed over; null when fewer remain.
    const uint8_t* Consume(int64_t Count) noexcept {
        if (Count < 0 || FPosition < 0 || Count > Remaining()) return nullptr;
        const uint8_t* p = FData.data() + FPosition;
        FPosition += Count;
        return p;
    }
    // Reserving ahead only maps address space: untouched pages cost nothing.
    void Reserve(size_t Capacity) { FData.reserve(Capacity); }
    rtl::TBytes Take() {
        FPosition = 0;
        return std::exchange(FData, rtl::TBytes());
    }

private:
    rtl::TBytes FData;
    int64_t FPosition = 0;
};

rtl::TOwnedPtr<TColumnsEhList> NewColumnList() { return rtl::TOwnedPtr<TColumnsEhList>(rtl::Create<TColumnsEhList>()); }

// The visible columns with an index from First to Last (-1: to the end).
void AddVisibleColumns(TCustomDBGridEh* Grid, TColumnsEhList* List, int First = 0, int Last = -1) {
    TDBGridColumnsEh* cols = Grid->Columns();
    if (Last < 0 || Last >= cols->Count()) Last = cols->Count() - 1;
    for (int i = std::max(First, 0); i <= Last; ++i)
        if (cols->Items(i)->Visible()) List->Add(cols->Items(i));
}

bool IsLookup(db::TField* F) { return F && F->FieldKind() == db::fkLookup; }

std::vector<db::TField*> KeyFieldsOf(db::TField* F) {
    std::vector<db::TField*> keys;
    if (F->DataSet()) F->DataSet()->GetFieldList(keys, F->KeyFields());
    return keys;
}

// The columns a selection kind covers: the visible ones, those of the block, or the selected
// ones. Own receives the lists that are made.
TColumnsEhList* SelectionColumns(TCustomDBGridEh* Grid, TDBGridEhSelectionType Kind, TColumnsEhList* Own) {
    TDBGridEhSelection* sel = Grid->Selection();
    if (Kind == gstColumns) return sel->Columns();
    if (Kind == gstRectangle)
        AddVisibleColumns(Grid, Own, sel->Rect()->LeftCol(), sel->Rect()->RightCol());
    else
        AddVisibleColumns(Grid, Own);
    return Own;
}

// Makes each record of a selection kind current in turn: the selected records in list order, the
// block from its top to its bottom record, or every record.
void ForEachSelectedRecord(TCustomDBGridEh* Grid, TDBGridEhSelectionType Kind, const std::function<void()>& Visit) {
    db::TDataSet* ds = Grid->DataSet();
    TDBGridEhSelection* sel = Grid->Selection();
    switch (Kind) {
        case gstRecordBookmarks: {
            // Copied first: the visit may delete records, and the list with them.
            std::vector<db::TBookmark> marks;
            for (int i = 0; i < sel->Rows()->Count(); ++i) marks.push_back(sel->Rows()->Items(i));
            for (const db::TBookmark& b : marks) {
                ds->SetBookmark(b);
                Visit();
            }
            break;
        }
        case gstRectangle: {
            const db::TBookmark bottom = sel->Rect()->GetBottomRow();
            ds->SetBookmark(sel->Rect()->TopRow());
            while (!ds->Eof()) {
                Visit();
                if (ds->CompareBookmarks(ds->Bookmark(), bottom) == 0) break;
                ds->Next();
            }
            break;
        }
        case gstColumns:
        case gstAll:
            ds->First();
            while (!ds->Eof()) {
                Visit();
                ds->Next();
            }
            break;
        case gstNon: break;
    }
}

void WriteInt32(rtl::TStream* S, int32_t V) {
    uint8_t b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(static_cast<uint32_t>(V) >> (8 * i));
    S->WriteBuffer(b, 4);
}

void WriteByte(rtl::TStream* S, uint8_t V) { S->WriteBuffer(&V, 1); }

// UTF-16LE bytes of a wide text.
std::string WideBytes(const WideString& W) {
    std::string bytes;
    bytes.reserve(W.size() * 2);
    for (char16_t c : W) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Footers

TExportFooterEh DefaultExportFooter(TCustomDBGridEh* Grid, TColumnEh* Column, int Row) {
    TExportFooterEh r;
    TColumnFooterEh* footer = Column->FooterForIndex(Row);
    if (!footer) {
        r.Font = Grid->FooterFont();
        r.Color = Grid->FooterColor();
        if (db::TField* f = Column->Field()) r.Alignment = f->Alignment();
        return r;
    }
    switch (footer->ValueType()) {
        case fvtSum: r.Kind = efkSum; break;
        case fvtCount: r.Kind = efkCount; break;
        default:
            r.Kind = efkText;
            r.Text = Grid->GetFooterValueText(Row, Column);
            break;
    }
    r.FieldName = footer->FieldName();
    r.Font = footer->Font();
    r.Color = footer->Color();
    r.Alignment = footer->Alignment();
    return r;
}

int64_t FooterScaledValue(double Value) {
    const double scaled = std::nearbyint(Value * 10000.0);
    // 2^63 is the first double beyond int64.
    if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
        throw rtl::EIntOverflow("Integer overflow");
    return static_cast<int64_t>(scaled);
}

int64_t FooterAddChecked(int64_t Sum, int64_t Value) {
    int64_t r;
    if (__builtin_add_overflow(Sum, Value, &r)) throw rtl::EIntOverflow("Integer overflow");
    return r;
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhExport

TDBGridEhExport::TDBGridEhExport()
    : FColCellParams(rtl::Create<TColCellParamsEh>()),
      FCellFont(rtl::Create<ui::TFont>()),
      FFooterFont(rtl::Create<ui::TFont>()) {}

TDBGridEhExport::~TDBGridEhExport() = default;

void TDBGridEhExport::WriteBytes(const void* Data, size_t Count) {
    if (Count) FStream->WriteBuffer(Data, static_cast<int64_t>(Count));
}

TDBGridEhExport::TColumnDefaults TDBGridEhExport::DefaultsOf(TColumnEh* Column) {
    const TColumnCellKindEh kind = Column->CellKind();
    return {Column->Font(), Column->Color(), Column->Alignment(), kind == cckImage || Column->ShowImageAndText(),
            kind == cckCheckBox};
}

void TDBGridEhExport::FillCellParams(TColumnEh* Column) { FillCellParams(Column, DefaultsOf(Column)); }

void TDBGridEhExport::FillCellParams(TColumnEh* Column, const TColumnDefaults& Defaults) {
    TColCellParamsEh* p = FColCellParams.get();
    FCellFont->Assign(Defaults.Font);
    p->Font = FCellFont.get();
    p->Background = Defaults.Color;
    p->Alignment = Defaults.Alignment;
    p->ImageIndex = Defaults.ShowsImage ? Column->CellImageIndex() : -1;
    p->Text = Column->KeyListDisplayText();
    p->CheckboxState = Defaults.ShowsCheckbox ? Column->CheckboxState() : ui::cbUnchecked;
    p->State = TGridDrawState{};
    p->Col = -1;
    p->Row = -1;
    ui::TColor background = p->Background;
    FDBGrid->GetCellParams(Column, p->Font, background, TGridDrawState{});
    p->Background = background;
    Column->GetColCellParams(false, p);
    p->Background = background;
}

void TDBGridEhExport::WriteRow(TColumnsEhList* Columns) {
    if (FRowDefaultsOf != Columns) {
        FRowDefaults.clear();
        for (int i = 0; i < Columns->Count(); ++i) FRowDefaults.push_back(DefaultsOf(Columns->Items(i)));
        FRowDefaultsOf = Columns;
    }
    for (int i = 0; i < Columns->Count(); ++i) {
        FillCellParams(Columns->Items(i), FRowDefaults[static_cast<size_t>(i)]);
        WriteCell(Columns->Items(i), FColCellParams.get());
    }
}

ui::TFont* TDBGridEhExport::FooterCell(TColumnsEhList* Columns, int Pos, int Row, ui::TColor& Background,
                                       TAlignment& Alignment, AnsiString& Text) {
    TColumnEh* col = Columns->Items(Pos);
    const TExportFooterEh footer = ExportFooterSource(FDBGrid, col, Row);
    FFooterFont->Assign(footer.Font ? footer.Font : FDBGrid->FooterFont());
    Background = footer.Color;
    Alignment = footer.Alignment;
    Text = footer.Kind == efkText ? footer.Text : FooterValueText(Pos, Row);
    FDBGrid->GetFooterParams(col->Index(), Row, col, FFooterFont.get(), Background, Alignment, TGridDrawState{}, Text);
    return FFooterFont.get();
}

void TDBGridEhExport::WriteFooterRow(TColumnsEhList* Columns, int FooterNo) {
    for (int i = 0; i < Columns->Count(); ++i) {
        ui::TColor background;
        TAlignment alignment;
        AnsiString text;
        ui::TFont* font = FooterCell(Columns, i, FooterNo, background, alignment, text);
        WriteFooterCell(i, FooterNo, text, alignment, background, font, Columns->Items(i));
    }
}

void TDBGridEhExport::InitFooterValues() {
    FFooterValues.assign(static_cast<size_t>(FDBGrid->FooterRowCount()) * static_cast<size_t>(FColumns->Count()), 0);
}

void TDBGridEhExport::CalcFooterValues() {
    const int n = FColumns->Count();
    db::TDataSet* ds = FDBGrid->DataSet();
    for (int r = 0; r < FDBGrid->FooterRowCount(); ++r)
        for (int c = 0; c < n; ++c) {
            TColumnEh* col = FColumns->Items(c);
            const TExportFooterEh footer = ExportFooterSource(FDBGrid, col, r);
            if (footer.Kind == efkText) continue;
            db::TField* f = ds->FindField(footer.FieldName.empty() ? col->FieldName() : footer.FieldName);
            if (!f) continue;
            int64_t& acc = FFooterValues[static_cast<size_t>(c + n * r)];
            if (footer.Kind == efkCount)
                acc = FooterAddChecked(acc, 10000);
            else if (!f->IsNull())
                acc = FooterAddChecked(acc, FooterScaledValue(f->AsFloat()));
        }
}

AnsiString TDBGridEhExport::FooterValueText(int Pos, int Row) {
    TColumnEh* col = FColumns->Items(Pos);
    const TExportFooterEh footer = ExportFooterSource(FDBGrid, col, Row);
    const int64_t v = FFooterValues[static_cast<size_t>(Pos + FColumns->Count() * Row)];
    if (footer.Kind == efkCount) return rtl::FloatToStr(static_cast<double>(v) / 10000.0);
    if (footer.Kind != efkSum) return {};
    db::TField* f = FDBGrid->DataSet()->FindField(footer.FieldName.empty() ? col->FieldName() : footer.FieldName);
    if (!f) return {};
    const rtl::Currency cur = rtl::Currency::FromScaled(v);
    const double d = static_cast<double>(v) / 10000.0;
    auto* numeric = dynamic_cast<db::TNumericField*>(f);
    const AnsiString format = numeric ? numeric->DisplayFormat() : AnsiString();
    const int currencyDecimals = rtl::FormatSettings().CurrencyDecimals;
    switch (f->DataType()) {
        case db::ftSmallint:
        case db::ftInteger:
        case db::ftWord:
        case db::ftAutoInc: return format.empty() ? rtl::IntToStr(v / 10000) : rtl::FormatFloat(format, d);
        case db::ftFloat:
        case db::ftCurrency: {
            if (!format.empty()) return rtl::FormatFloat(format, d);
            auto* ff = dynamic_cast<db::TFloatField*>(f);
            if (ff && ff->Currency()) return rtl::FloatToStrF(d, rtl::ffCurrency, ff->Precision(), currencyDecimals);
            return rtl::FloatToStrF(d, rtl::ffGeneral, ff ? ff->Precision() : 15, 0);
        }
        case db::ftBCD:
        case db::ftFMTBcd: {
            if (!format.empty()) return rtl::FormatCurr(format, cur);
            bool currency = false;
            if (auto* b = dynamic_cast<db::TBCDField*>(f))
                currency = b->Currency();
            else if (auto* fb = dynamic_cast<db::TFMTBCDField*>(f))
                currency = fb->Currency();
            return currency ? rtl::CurrToStrF(cur, rtl::ffCurrency, currencyDecimals)
                            : rtl::CurrToStrF(cur, rtl::ffGeneral, 0);
        }
        default: return {};
    }
}

void TDBGridEhExport::SaveToStream(rtl::TStream* AStream, bool IsSaveAll) {
    FStream = AStream;
    FRowDefaults.clear();
    FRowDefaultsOf = nullptr;
    TDBGridEhSelection* sel = FDBGrid->Selection();
    const TDBGridEhSelectionType kind = IsSaveAll ? gstAll : sel->SelectionType();
    db::TDataSet* ds = FDBGrid->DataSet();
    if (kind == gstNon || !ds) return;
    ds->DisableControls();
    const TCustomDBGridEh::TSavedPosition position = FDBGrid->SavePosition();
    rtl::TOwnedPtr<TColumnsEhList> own = NewColumnList();
    rtl::TryFinally(
        [&] {
            FColumns = SelectionColumns(FDBGrid, kind, own.get());
            InitFooterValues();
            WritePrefix();
            if (FDBGrid->Options().Contains(dgTitles)) WriteTitleRow(FColumns);
            ForEachSelectedRecord(FDBGrid, kind, [&] {
                CalcFooterValues();
                WriteRow(FColumns);
            });
            for (int r = 0; r < FDBGrid->FooterRowCount(); ++r) WriteFooterRow(FColumns, r);
            WriteTrailer();
        },
        [&] {
            FColumns = nullptr;
            FDBGrid->RestorePosition(position);
            ds->EnableControls();
        });
}

void TDBGridEhExport::SaveToFile(const AnsiString& FileName, bool IsSaveAll) {
    rtl::TFileStream file(FileName, rtl::fmCreate);
    SaveToStream(&file, IsSaveAll);
}

// ---------------------------------------------------------------------------------------------
// Text, Unicode text and CSV

void TDBGridEhExportAsText::SaveToStream(rtl::TStream* AStream, bool IsSaveAll) {
    FirstRow = true;
    TDBGridEhExport::SaveToStream(AStream, IsSaveAll);
}

void TDBGridEhExportAsText::WriteRowBreak() {
    if (FirstRow)
        FirstRow = false;
    else
        PutText("\r\n");
}

void TDBGridEhExportAsText::WriteCellBreak() {
    if (FirstCell)
        FirstCell = false;
    else
        PutText("\t");
}

void TDBGridEhExportAsText::WriteTitleRow(TColumnsEhList* Columns) {
    WriteRowBreak();
    for (int i = 0; i < Columns->Count(); ++i) {
        PutText(Columns->Items(i)->Title()->Caption());
        if (i < Columns->Count() - 1) PutText("\t");
    }
}

void TDBGridEhExportAsText::WriteRow(TColumnsEhList* Columns) {
    WriteRowBreak();
    FirstCell = true;
    TDBGridEhExport::WriteRow(Columns);
}

void TDBGridEhExportAsText::WriteCell(TColumnEh*, TColCellParamsEh* Params) {
    WriteCellBreak();
    PutText(Params->Text);
}

void TDBGridEhExportAsText::WriteFooterRow(TColumnsEhList* Columns, int FooterNo) {
    WriteRowBreak();
    FirstCell = true;
    TDBGridEhExport::WriteFooterRow(Columns, FooterNo);
}

void TDBGridEhExportAsText::WriteFooterCell(int, int, const AnsiString& Text, TAlignment, ui::TColor, ui::TFont*,
                                            TColumnEh*) {
    WriteCellBreak();
    PutText(Text);
}

void TDBGridEhExportAsUnicodeText::PutText(const AnsiString& Text) {
    if (FUnitsState == 0) {
        FUnitsState = 1;
        for (int c = 0; c < 256 && FUnitsState == 1; ++c) {
            const WideString w = rtl::AnsiToWide(AnsiString(1, static_cast<char>(c)));
            if (w.size() == 1)
                FUnits[static_cast<size_t>(c)] = w[0];
            else
                FUnitsState = -1;
        }
    }
    if (FUnitsState < 0) {
        WriteText(WideBytes(rtl::AnsiToWide(Text)));
        return;
    }
    FBytes.resize(Text.size() * 2);
    for (size_t i = 0; i < Text.size(); ++i) {
        const char16_t u = FUnits[static_cast<unsigned char>(Text[i])];
        FBytes[2 * i] = static_cast<char>(u & 0xFF);
        FBytes[2 * i + 1] = static_cast<char>(u >> 8);
    }
    WriteText(FBytes);
}

void TDBGridEhExportAsCSV::WriteCellBreak() {
    if (FirstCell)
        FirstCell = false;
    else
        PutText(AnsiString(1, Separator));
}

void TDBGridEhExportAsCSV::WriteTitleRow(TColumnsEhList* Columns) {
    WriteRowBreak();
    for (int i = 0; i < Columns->Count(); ++i) {
        PutText(rtl::AnsiQuotedStr(Columns->Items(i)->Title()->Caption(), '"'));
        if (i < Columns->Count() - 1) PutText(AnsiString(1, Separator));
    }
}

void TDBGridEhExportAsCSV::WriteCell(TColumnEh*, TColCellParamsEh* Params) {
    WriteCellBreak();
    PutText(rtl::AnsiQuotedStr(Params->Text, '"'));
}

void TDBGridEhExportAsCSV::WriteFooterCell(int, int, const AnsiString& Text, TAlignment, ui::TColor, ui::TFont*,
                                           TColumnEh*) {
    WriteCellBreak();
    PutText(rtl::AnsiQuotedStr(Text, '"'));
}

// ---------------------------------------------------------------------------------------------
// RTF

namespace {

// How each byte goes out in an RTF run: the group and escape characters escaped, bytes of the
// code page as \'hh, the rest as they are.
struct TRtfEscapes {
    char Text[256][4];
    uint8_t Length[256];
    TRtfEscapes() {
        static const char hex[] = "0123456789abcdef";
        for (int c = 0; c < 256; ++c) {
            char* t = Text[c];
            if (c == '\\' || c == '{' || c == '}') {
                t[0] = '\\';
                t[1] = static_cast<char>(c);
                Length[c] = 2;
            } else if (c >= 0x80) {
                t[0] = '\\';
                t[1] = '\'';
                t[2] = hex[c >> 4];
                t[3] = hex[c & 15];
                Length[c] = 4;
            } else {
                t[0] = static_cast<char>(c);
                Length[c] = 1;
            }
        }
    }
};

template <class Out>
void AppendRtfEscaped(Out& Target, std::string_view Text) {
    static const TRtfEscapes escapes;
    size_t plain = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        const auto c = static_cast<unsigned char>(Text[i]);
        if (escapes.Length[c] == 1) continue;
        Target.insert(Target.end(), Text.begin() + static_cast<ptrdiff_t>(plain),
                      Text.begin() + static_cast<ptrdiff_t>(i));
        Target.insert(Target.end(), escapes.Text[c], escapes.Text[c] + escapes.Length[c]);
        plain = i + 1;
    }
    Target.insert(Target.end(), Text.begin() + static_cast<ptrdiff_t>(plain), Text.end());
}

const char* AlignmentWord(TAlignment A) {
    switch (A) {
        case db::taRightJustify: return "\\qr";
        case db::taCenter: return "\\qc";
        default: return "\\ql";
    }
}

int Twips(int Pixels) {
    return static_cast<int>(std::trunc(static_cast<double>(Pixels) / ui::ScreenPixelsPerInch * 1440));
}

}  // namespace

TDBGridEhExportAsRTF::TDBGridEhExportAsRTF() : FScratchFont(rtl::Create<ui::TFont>()) {}
TDBGridEhExportAsRTF::~TDBGridEhExportAsRTF() = default;

// The table is built in a buffer written out in large pieces.
void TDBGridEhExportAsRTF::Put(std::string_view Text) {
    if (FOut) {
        FOut->insert(FOut->end(), Text.begin(), Text.end());
        return;
    }
    FBuffer += Text;
    if (FBuffer.size() >= 65536) Flush();
}

void TDBGridEhExportAsRTF::PutInt(int Value) {
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, Value);
    Put(std::string_view(digits, static_cast<size_t>(r.ptr - digits)));
}

void TDBGridEhExportAsRTF::Flush() {
    WriteText(FBuffer);
    FBuffer.clear();
}

int TDBGridEhExportAsRTF::ColorIndex(ui::TColor Color) {
    // Every cell asks for a few colours; the table key is made once per colour.
    for (const auto& [color, index] : FColorCache)
        if (color == Color) return index;
    const int index = ColorTableIndex(Color);
    FColorCache.emplace_back(Color, index);
    return index;
}

int TDBGridEhExportAsRTF::ColorTableIndex(ui::TColor Color) {
    const ui::TColorRef rgb = ui::ColorToRGB(Color);
    const AnsiString key =
        rtl::Format("%3d%3d%3d", {int(ui::GetRValue(rgb)), int(ui::GetGValue(rgb)), int(ui::GetBValue(rgb))});
    for (size_t i = 0; i < FColors.size(); ++i)
        if (FColors[i] == key) return static_cast<int>(i);
    FColors.push_back(key);
    return static_cast<int>(FColors.size() - 1);
}

int TDBGridEhExportAsRTF::FontIndex(const AnsiString& Name) {
    if (FLastFont >= 0 && FFonts[static_cast<size_t>(FLastFont)] == Name) return FLastFont;
    FLastFont = FontTableIndex(Name);
    return FLastFont;
}

int TDBGridEhExportAsRTF::FontTableIndex(const AnsiString& Name) {
    for (size_t i = 0; i < FFonts.size(); ++i)
        if (rtl::AnsiSameText(FFonts[i], Name)) return static_cast<int>(i);
    FFonts.push_back(Name);
    return static_cast<int>(FFonts.size() - 1);
}

std::vector<int> TDBGridEhExportAsRTF::RightEdges(TColumnsEhList* Columns) {
    std::vector<int> edges;
    int sum = 0;
    for (int i = 0; i < Columns->Count(); ++i) {
        sum += Twips(Columns->Items(i)->Width());
        edges.push_back(sum);
    }
    return edges;
}

void TDBGridEhExportAsRTF::WriteCellDef(const TBorders& Borders, ui::TColor Background, int RightEdge) {
    if (Borders.Left) Put("\\clbrdrl\\brdrs\\brdrcf0\r\n");
    if (Borders.Top) Put("\\clbrdrt\\brdrs\\brdrcf0\r\n");
    if (Borders.Bottom) Put("\\clbrdrb\\brdrs\\brdrcf0\r\n");
    if (Borders.Right) Put("\\clbrdrr\\brdrs\\brdrcf0\r\n");
    Put("\\clshdng10000\\clcfpat");
    PutInt(ColorIndex(Background));
    Put("\\cellx");
    PutInt(RightEdge);
    Put("\r\n");
}

void TDBGridEhExportAsRTF::WriteTextRun(ui::TFont* Font, ui::TColor Background, const AnsiString& Text) {
    Put("\\fs");
    PutInt(Font->Size() * 2);
    const ui::TFontStyles style = Font->Style();
    if (style.Contains(ui::fsBold)) Put("\\b");
    if (style.Contains(ui::fsItalic)) Put("\\i");
    if (style.Contains(ui::fsStrikeOut)) Put("\\strike");
    if (style.Contains(ui::fsUnderline)) Put("\\ul");
    Put("\\f");
    PutInt(FontIndex(Font->Name()));
    Put("\\cf");
    PutInt(ColorIndex(Font->Color()));
    Put("\\cb");
    PutInt(ColorIndex(Background));
    Put(" ");
    if (FOut)
        AppendRtfEscaped(*FOut, Text);
    else
        AppendRtfEscaped(FBuffer, Text);
}

void TDBGridEhExportAsRTF::WriteCellText(TAlignment Alignment, const AnsiString& Spacing, ui::TFont* Font,
                                         ui::TColor Background, const AnsiString& Text) {
    Put("\\pard\\intbl{");
    Put(AlignmentWord(Alignment));
    if (!Spacing.empty()) {
        Put("\\sb");
        Put(Spacing);
        Put("\\sa");
        Put(Spacing);
    }
    WriteTextRun(Font, Background, Text);
    Put("\\cell}\r\n");
}

void TDBGridEhExportAsRTF::WriteRow(TColumnsEhList* Columns) {
    Put("\\trowd\\trgaph40\r\n");
    // Widths do not change from row to row: measured once per export.
    if (FRowEdgesOf != Columns) {
        FRowEdges = RightEdges(Columns);
        FRowEdgesOf = Columns;
    }
    const std::vector<int>& edges = FRowEdges;
    for (int i = 0; i < Columns->Count(); ++i) {
        TColumnEh* col = Columns->Items(i);
        ui::TColor background = col->Color();
        FScratchFont->Assign(col->Font());
        DBGrid()->GetCellParams(col, FScratchFont.get(), background, TGridDrawState{});
        WriteCellDef(TBorders{}, background, edges[static_cast<size_t>(i)]);
    }
    Put("{\\trrh0\r\n");
    TDBGridEhExport::WriteRow(Columns);
    Put("\\pard\\intbl\\row}\r\n");
}

void TDBGridEhExportAsRTF::WriteCell(TColumnEh*, TColCellParamsEh* Params) {
    WriteCellText(Params->Alignment, DBGrid()->Flat() ? "12" : "24", Params->Font, Params->Background, Params->Text);
}

void TDBGridEhExportAsRTF::WriteFooterRow(TColumnsEhList* Columns, int FooterNo) {
    Put("\\trowd\\trgaph40\r\n");
    const std::vector<int> edges = RightEdges(Columns);
    for (int i = 0; i < Columns->Count(); ++i) {
        ui::TColor background;
        TAlignment alignment;
        AnsiString text;
        FooterCell(Columns, i, FooterNo, background, alignment, text);
        WriteCellDef(TBorders{}, background, edges[static_cast<size_t>(i)]);
    }
    Put("{\\trrh0\r\n");
    TDBGridEhExport::WriteFooterRow(Columns, FooterNo);
    Put("\\pard\\intbl\\row}\r\n");
}

void TDBGridEhExportAsRTF::WriteFooterCell(int, int, const AnsiString& Text, TAlignment Alignment,
                                           ui::TColor Background, ui::TFont* Font, TColumnEh*) {
    WriteCellText(Alignment, DBGrid()->Flat() ? "12" : "24", Font, Background, Text);
}

void TDBGridEhExportAsRTF::WriteTitleRow(TColumnsEhList* Columns) {
    TCustomDBGridEh* g = DBGrid();
    if (g->UseMultiTitle() && !g->LeafFieldArr().empty()) {
        WriteMultiTitle(Columns);
        return;
    }
    Put("\\trowd\\trgaph40\r\n");
    const std::vector<int> edges = RightEdges(Columns);
    for (int i = 0; i < Columns->Count(); ++i)
        WriteCellDef(TBorders{}, Columns->Items(i)->Title()->Color(), edges[static_cast<size_t>(i)]);
    Put("{\\trrh0\r\n");
    for (int i = 0; i < Columns->Count(); ++i) {
        TColumnTitleEh* t = Columns->Items(i)->Title();
        WriteCellText(t->Alignment(), g->Flat() ? "12" : "24", t->Font(), t->Color(), t->Caption());
    }
    Put("\\pard\\intbl\\row}\r\n");
}

// The title area as rows of the title tree's levels, merged cells drawn by leaving out the
// borders inside them.
void TDBGridEhExportAsRTF::WriteMultiTitle(TColumnsEhList* Columns) {
    TCustomDBGridEh* g = DBGrid();
    const int n = Columns->Count();
    const THeadTreeNode* root = g->TitleRoot();
    std::vector<THeadTreeNode*> node(static_cast<size_t>(n));
    std::vector<int> height(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) {
        const auto index = static_cast<size_t>(Columns->Items(c)->Index());
        node[static_cast<size_t>(c)] = index < g->LeafFieldArr().size() ? g->LeafFieldArr()[index] : nullptr;
        height[static_cast<size_t>(c)] = node[static_cast<size_t>(c)] ? node[static_cast<size_t>(c)]->CellHeight : 0;
    }
    std::vector<std::vector<THeadTreeNode*>> levels{node};
    for (;;) {
        int smallest = height.empty() ? 0 : height[0];
        for (int h : height) smallest = std::min(smallest, h);
        bool moved = false;
        for (size_t c = 0; c < node.size(); ++c) {
            THeadTreeNode* parent = node[c] ? node[c]->ParentNode : nullptr;
            if (height[c] != smallest || !parent || parent == root) continue;
            node[c] = parent;
            height[c] += parent->CellHeight;
            moved = true;
        }
        if (!moved) break;
        levels.push_back(node);
    }
    const int top = static_cast<int>(levels.size()) - 1;
    auto at = [&](int c, int l) { return levels[static_cast<size_t>(l)][static_cast<size_t>(c)]; };
    // Per (column, level): consumed by a span above or to the left, and the borders it keeps.
    std::vector<std::vector<bool>> consumed(static_cast<size_t>(n), std::vector<bool>(levels.size(), false));
    std::vector<std::vector<TBorders>> borders(static_cast<size_t>(n), std::vector<TBorders>(levels.size()));
    for (int l = top; l >= 0; --l)
        for (int c = 0; c < n; ++c) {
            if (consumed[static_cast<size_t>(c)][static_cast<size_t>(l)]) continue;
            int low = l;
            while (low > 0 && at(c, low - 1) == at(c, l)) --low;
            int right = c;
            while (right + 1 < n && at(right + 1, l) == at(c, l)) ++right;
            for (int cc = c; cc <= right; ++cc)
                for (int ll = low; ll <= l; ++ll) {
                    if (cc != c || ll != l) consumed[static_cast<size_t>(cc)][static_cast<size_t>(ll)] = true;
                    TBorders& b = borders[static_cast<size_t>(cc)][static_cast<size_t>(ll)];
                    if (cc != c) b.Left = false;
                    if (cc != right) b.Right = false;
                    if (ll != l) b.Top = false;
                    if (ll != low) b.Bottom = false;
                }
        }
    const AnsiString spacing = rtl::IntToStr(
        std::abs(static_cast<int>(std::trunc(g->VTitleMargin() / 2.0 / ui::ScreenPixelsPerInch * 1440 - 20))));
    const std::vector<int> edges = RightEdges(Columns);
    auto writeLevel = [&](int l) {
        Put("\\trowd\\trgaph40\r\n");
        for (int c = 0; c < n; ++c)
            WriteCellDef(borders[static_cast<size_t>(c)][static_cast<size_t>(l)],
                         l == 0 ? Columns->Items(c)->Title()->Color() : g->FixedColor(), edges[static_cast<size_t>(c)]);
        Put("{\\trrh0\r\n");
        for (int c = 0; c < n; ++c) {
            const bool starts = !consumed[static_cast<size_t>(c)][static_cast<size_t>(l)];
            const THeadTreeNode* nd = at(c, l);
            const AnsiString text = starts && nd ? nd->Caption : AnsiString();
            TColumnTitleEh* t = Columns->Items(c)->Title();
            WriteCellText(db::taCenter, starts ? spacing : AnsiString(), l == 0 ? t->Font() : g->TitleFont(),
                          l == 0 ? t->Color() : g->FixedColor(), text);
        }
        Put("\\pard\\intbl\\row}\r\n");
    };
    for (int l = top; l >= 0; --l) writeLevel(l);
}

void TDBGridEhExportAsRTF::WriteTrailer() { Put("}"); }

void TDBGridEhExportAsRTF::SaveToStream(rtl::TStream* AStream, bool IsSaveAll) {
    FColors.clear();
    FColorCache.clear();
    FFonts.clear();
    FLastFont = -1;
    FBuffer.clear();
    FRowEdges.clear();
    FRowEdgesOf = nullptr;
    ColorIndex(ui::clBlack);
    ColorIndex(ui::clWhite);
    ColorIndex(ui::clBtnFace);
    // A memory stream takes the table in place and the header is moved in before it; any other
    // stream gets both from a cache. The clipboard's stream is written without a buffer between.
    auto* direct = dynamic_cast<TClipboardStreamEh*>(AStream);
    if (direct && direct->Position() != direct->Size()) direct = nullptr;
    auto* memory = direct ? nullptr : dynamic_cast<editors::TMemoryStreamEh*>(AStream);
    rtl::TOwnedPtr<TExportStreamEh> cache;
    if (!memory && !direct) cache = NewExportStream();
    rtl::TStream* target = memory || direct ? AStream : cache.get();
    const int64_t start = target->Position();
    if (direct) {
        FOut = &direct->Bytes();
        rtl::TryFinally([&] { TDBGridEhExport::SaveToStream(target, IsSaveAll); }, [&] { FOut = nullptr; });
    } else {
        TDBGridEhExport::SaveToStream(target, IsSaveAll);
        Flush();
    }
    std::string head = "{\\rtf0\\ansi\\ansicpg1251\r\n{\\colortbl";
    for (const AnsiString& key : FColors)
        head += "\\red" + rtl::Trim(key.substr(0, 3)) + "\\green" + rtl::Trim(key.substr(3, 3)) + "\\blue" +
                rtl::Trim(key.substr(6, 3)) + ";";
    head += "}\r\n{\\fonttbl";
    for (size_t i = 0; i < FFonts.size(); ++i) {
        head += "\\f" + rtl::IntToStr(static_cast<int>(i)) + "\\fnil ";
        AppendRtfEscaped(head, FFonts[i]);
        head += ";";
    }
    head += "}\r\n";
    if (direct) {
        rtl::TBytes& bytes = direct->Bytes();
        bytes.insert(bytes.begin() + start, head.begin(), head.end());
        direct->SetPosition(direct->Size());
    } else if (memory) {
        const int64_t end = memory->Position();
        const auto headSize = static_cast<int64_t>(head.size());
        if (end + headSize > memory->Size()) memory->SetSize(end + headSize);
        auto* base = static_cast<char*>(memory->Memory());
        std::memmove(base + start + headSize, base + start, static_cast<size_t>(end - start));
        std::memcpy(base + start, head.data(), head.size());
        memory->SetPosition(end + headSize);
    } else {
        AStream->WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
        if (cache->Size() > 0) AStream->WriteBuffer(cache->Memory(), cache->Size());
    }
}

// ---------------------------------------------------------------------------------------------
// VCLDBIF

void TDBGridEhExportAsVCLDBIF::WritePrefix() {
    WriteText(AnsiString("VCLDBIF") + '\x01');
    WriteInt32(Stream(), ExpCols()->Count());
    for (int i = 0; i < ExpCols()->Count(); ++i) {
        WriteByte(Stream(), ExpCols()->Items(i)->Visible() ? 1 : 0);
        WriteByte(Stream(), 0);
    }
}

void TDBGridEhExportAsVCLDBIF::WriteTrailer() { WriteByte(Stream(), 0); }

void TDBGridEhExportAsVCLDBIF::WriteCell(TColumnEh* Column, TColCellParamsEh*) {
    rtl::TStream* s = Stream();
    db::TField* f = Column->Field();
    auto text = [&](uint8_t Tag, const AnsiString& Bytes) {
        WriteByte(s, Tag);
        WriteInt32(s, static_cast<int32_t>(Bytes.size()));
        WriteText(Bytes);
    };
    auto wide = [&](const WideString& W) { text(7, WideBytes(W)); };
    if (!f) {
        WriteByte(s, 1);
        return;
    }
    switch (f->DataType()) {
        case db::ftUnknown:
        case db::ftCursor:
        case db::ftADT:
        case db::ftArray:
        case db::ftReference:
        case db::ftDataSet:
        case db::ftVariant:
        case db::ftInterface:
        case db::ftIDispatch: WriteByte(s, 1); return;
        default: break;
    }
    if (IsLookup(f)) {
        rtl::TOwnedPtr<rtl::TStringList> keys(rtl::Create<rtl::TStringList>());
        for (db::TField* k : KeyFieldsOf(f)) keys->Add(k->AsString());
        wide(rtl::AnsiToWide(keys->CommaText()));
        return;
    }
    if (f->IsNull()) {
        WriteByte(s, 2);
        return;
    }
    switch (f->DataType()) {
        case db::ftSmallint:
        case db::ftInteger:
        case db::ftWord:
        case db::ftAutoInc:
            WriteByte(s, 3);
            WriteInt32(s, f->AsInteger());
            return;
        case db::ftFloat:
        case db::ftCurrency:
        case db::ftBCD:
        case db::ftDate:
        case db::ftTime:
        case db::ftDateTime:
        case db::ftTimeStamp:
        case db::ftFMTBcd: {
            WriteByte(s, 4);
            const double d = f->AsFloat();
            uint8_t b[8];
            std::memcpy(b, &d, 8);
            s->WriteBuffer(b, 8);
            return;
        }
        case db::ftWideString:
        case db::ftFixedWideChar:
        case db::ftWideMemo: wide(f->AsWideString()); return;
        case db::ftBytes:
        case db::ftVarBytes:
        case db::ftBlob:
        case db::ftGraphic:
        case db::ftFmtMemo:
        case db::ftParadoxOle:
        case db::ftDBaseOle:
        case db::ftTypedBinary:
        case db::ftOraBlob: text(6, f->AsString()); return;
        default: text(5, f->AsString()); return;
    }
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhImport

TDBGridEhImport::TDBGridEhImport() = default;
TDBGridEhImport::~TDBGridEhImport() = default;

void TDBGridEhImport::ReadRow(TColumnsEhList* Columns) {
    for (int i = 0; i < Columns->Count(); ++i) ReadCell(Columns->Items(i));
}

bool TDBGridEhImport::EditField(db::TField* Field) {
    db::TDataSet* ds = Field->DataSet();
    if (!ds || !ds->CanModify() || !Field->CanModify()) return false;
    ds->Edit();
    return ds->State() == db::dsEdit || ds->State() == db::dsInsert;
}

void TDBGridEhImport::ValueError(const rtl::Exception& E) {
    if (FIgnoreAll) return;
    const AnsiString text = AnsiString(msg::SErrorDuringInsertValue) + "\n" + E.Message() + "\n\n" + msg::SIgnoreError;
    const int r = ui::MessageDlg(text, ui::mtError, {ui::mbYes, ui::mbNo, ui::mbAll});
    if (r == ui::mrAll)
        FIgnoreAll = true;
    else if (r != ui::mrYes)
        rtl::Abort();
}

// A row that reads nothing can never end the data: it ends it here, and the record it was
// meant for is not posted.
void TDBGridEhImport::InsertRows(bool Append) {
    db::TDataSet* ds = FDBGrid->DataSet();
    while (!FEof) {
        if (Append)
            ds->Append();
        else
            ds->Insert();
        const int64_t before = FStream->Position();
        ReadRow(FColumns);
        if (FStream->Position() == before) {
            ds->Cancel();
            FEof = true;
            break;
        }
        ds->Post();
        if (!Append) ds->Next();
    }
}

void TDBGridEhImport::LoadFromStream(rtl::TStream* AStream, bool IsLoadAll) {
    FStream = AStream;
    FEof = false;
    TCustomDBGridEh* g = FDBGrid;
    db::TDataSet* ds = g->DataSet();
    if (!ds) return;
    TDBGridEhSelection* sel = g->Selection();
    TDBGridEhSelectionType kind = sel->SelectionType();
    if (IsLoadAll) {
        sel->Clear();
        ds->First();
        for (int i = 0; i < g->Columns()->Count(); ++i)
            if (g->Columns()->Items(i)->Visible()) {
                g->SetCol(g->DataToGridCol(i));
                break;
            }
        kind = gstNon;
    }
    const bool appendMode = ds->Eof();
    const bool insertMode = ds->State() == db::dsInsert;
    TCustomDBGridEh::TSavedPosition position;
    if (!insertMode) position = g->SavePosition();
    bool restore = !insertMode;
    rtl::TOwnedPtr<TColumnsEhList> own = NewColumnList();
    ds->DisableControls();
    rtl::TryFinally(
        [&] {
            if (kind == gstNon) AddVisibleColumns(g, own.get(), std::max(g->CurrentDataCol(), 0));
            FColumns = kind == gstNon ? own.get() : SelectionColumns(g, kind, own.get());
            ReadPrefix();
            if (insertMode) {
                InsertRows(appendMode);
            } else if (kind != gstNon) {
                ForEachSelectedRecord(g, kind, [&] { ReadRow(FColumns); });
            } else {
                g->RestorePosition(position);
                while (!ds->Eof() && !FEof) {
                    const int64_t before = FStream->Position();
                    ReadRow(FColumns);
                    if (FStream->Position() == before) FEof = true;
                    ds->Next();
                }
                if (!FEof && g->AllowedOperations().Contains(alopAppendEh)) {
                    restore = false;
                    InsertRows(true);
                }
            }
        },
        [&] {
            FColumns = nullptr;
            if (restore) g->RestorePosition(position);
            ds->EnableControls();
        });
    ReadTrailer();
}

void TDBGridEhImport::LoadFromFile(const AnsiString& FileName, bool IsLoadAll) {
    rtl::TFileStream file(FileName, rtl::fmOpenRead);
    LoadFromStream(&file, IsLoadAll);
}

// ---------------------------------------------------------------------------------------------
// Text readers

void TDBGridEhImportAsTextBase::LoadFromStream(rtl::TStream* AStream, bool IsLoadAll) {
    FIgnoreAll = false;
    FLastState = 2;
    FEmptyCell = false;
    TDBGridEhImport::LoadFromStream(AStream, IsLoadAll);
}

// Every whole unit is read: a zero unit ends the clipboard's text, the stream's end a file's, whose
// last character has no terminator after it.
bool TDBGridEhImportAsTextBase::ReadChar(char16_t& C) {
    rtl::TStream* s = Stream();
    uint8_t b[2] = {0, 0};
    if (s->Read(b, FUnit) != FUnit) return false;
    C = static_cast<char16_t>(b[0] | (FUnit == 2 ? b[1] << 8 : 0));
    return true;
}

int TDBGridEhImportAsTextBase::CheckState() {
    if (FLastState == 3) return 3;
    char16_t c = 0;
    int state;
    // Right after a separator, a separator stands for an empty cell: it is read again.
    const bool afterSeparator = FLastState == 1 || FLastState == 2;
    auto emptyCell = [&](int Units) {
        FLastChar = 0;
        FEmptyCell = true;
        rtl::TStream* s = Stream();
        if (s->Position() >= Units * FUnit) s->Seek(-Units * FUnit, rtl::soCurrent);
        return 0;
    };
    if (!ReadChar(c))
        state = 3;
    else if (c == u'\t')
        state = afterSeparator ? emptyCell(1) : 1;
    else if (c == u'\r') {
        char16_t lf = 0;
        if (!ReadChar(lf) || lf != u'\n')
            throw rtl::Exception(AnsiString(FClassName) + ".CheckState: " + msg::SInvalidTextFormat);
        state = afterSeparator ? emptyCell(2) : 2;
    } else if (c == 0)
        state = 3;
    else {
        FLastChar = c;
        FEmptyCell = false;
        state = 0;
    }
    FLastState = state;
    if (state == 3) FEof = true;
    return state;
}

int TDBGridEhImportAsTextBase::ReadCellText() {
    FCellText.clear();
    if (FLastState == 0 && !FEmptyCell) FCellText += FLastChar;
    FEmptyCell = false;
    int state;
    while ((state = CheckState()) == 0) {
        if (FEmptyCell)
            FEmptyCell = false;
        else
            FCellText += FLastChar;
    }
    return state;
}

void TDBGridEhImportAsTextBase::ReadPrefix() {
    FLastState = 2;
    CheckState();
}

void TDBGridEhImportAsTextBase::ReadRow(TColumnsEhList* Columns) {
    if (FLastState == 3) return;
    int i = 0;
    if (FLastState == 0) {
        ReadCellText();
        if (i < Columns->Count()) ReadCell(Columns->Items(i));
        ++i;
    }
    while (FLastState == 0 || FLastState == 1) {
        ReadCellText();
        if (i < Columns->Count()) ReadCell(Columns->Items(i));
        ++i;
    }
    CheckState();
}

void TDBGridEhImportAsTextBase::ReadCell(TColumnEh* Column) {
    if (!Column || !Column->CanModifyField(false)) return;
    db::TField* f = Column->Field();
    if (IsLookup(f) && f->KeyFields().empty()) return;
    if (!EditField(f)) return;
    const AnsiString text = rtl::WideToAnsi(FCellText);
    WriteValue([&] {
        if (IsLookup(f)) {
            // An empty cell clears the key; a partial key of nothing would match any record.
            if (FCellText.empty()) {
                for (db::TField* k : KeyFieldsOf(f)) k->Clear();
                return;
            }
            db::TDataSet* list = f->LookupDataSet();
            const Variant key = FUnit == 2 ? Variant(FCellText) : Variant(text);
            if (list && list->Locate(f->LookupResultField(), key, {db::loCaseInsensitive, db::loPartialKey}))
                f->DataSet()->SetFieldValues(f->KeyFields(), list->FieldValues(f->LookupKeyFields()));
        } else if (Column->HasKeyList() && Column->HasPickList()) {
            const int i = Column->PickList()->IndexOf(text);
            if (i < 0 || i >= Column->KeyList()->Count())
                f->Clear();
            else
                f->SetAsString(Column->KeyList()->Strings(i));
        } else {
            f->SetAsString(Column->FilterValidChars(text));
        }
    });
}

// ---------------------------------------------------------------------------------------------
// VCLDBIF reader

void TDBGridEhImportAsVCLDBIF::FormatError() const {
    throw rtl::Exception(AnsiString("TDBGridEhImportAsVCLDBIF.ReadPrefix: ") + msg::SInvalidVCLDBIFFormat);
}

void TDBGridEhImportAsVCLDBIF::ReadExact(void* Buffer, int64_t Count) {
    if (FInPlace) {
        const uint8_t* p = static_cast<TClipboardStreamEh*>(FInPlace)->Consume(Count);
        if (!p) FormatError();
        if (Count) std::memcpy(Buffer, p, static_cast<size_t>(Count));
        return;
    }
    if (Stream()->Read(Buffer, Count) != Count) FormatError();
}

// A length is checked against what the stream still holds before anything is allocated.
int32_t TDBGridEhImportAsVCLDBIF::ReadLength(int Unit) {
    uint8_t b[4];
    ReadExact(b, 4);
    const auto n = static_cast<int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24);
    const int64_t remaining =
        FInPlace ? static_cast<TClipboardStreamEh*>(FInPlace)->Remaining() : Stream()->Size() - Stream()->Position();
    if (n < 0 || n % Unit != 0 || n > remaining) FormatError();
    return n;
}

void TDBGridEhImportAsVCLDBIF::LoadFromStream(rtl::TStream* AStream, bool IsLoadAll) {
    FIgnoreAll = false;
    FHasNames = false;
    FColumnNames.clear();
    FValue = Variant();
    FColCount = 0;
    FWritable.clear();
    FInPlace = dynamic_cast<TClipboardStreamEh*>(AStream);
    rtl::TryFinally([&] { TDBGridEhImport::LoadFromStream(AStream, IsLoadAll); },
                    [&] {
                        FColumnNames.clear();
                        FWritable.clear();
                        FInPlace = nullptr;
                    });
}

void TDBGridEhImportAsVCLDBIF::ReadPrefix() {
    uint8_t header[12];
    ReadExact(header, 12);
    if (std::memcmp(header, "VCLDBIF", 7) != 0) FormatError();
    FColCount =
        static_cast<int32_t>(header[8] | header[9] << 8 | header[10] << 16 | static_cast<uint32_t>(header[11]) << 24);
    // Each descriptor takes at least two bytes, and a count below zero describes nothing.
    if (FColCount < 0 || FColCount > (Stream()->Size() - Stream()->Position()) / 2) FormatError();
    for (int i = 0; i < FColCount; ++i) {
        uint8_t visible;
        ReadExact(&visible, 1);
        AnsiString name;
        for (char c; ReadExact(&c, 1), c != 0;) name += c;
        if (!name.empty()) FHasNames = true;
        FColumnNames.emplace_back(name, visible != 0);
    }
    ReadValue();
    // Without columns nothing but the trailer can follow.
    if (FColCount == 0 && !FEof) FormatError();
}

void TDBGridEhImportAsVCLDBIF::ReadValue() {
    if (FEof) return;
    uint8_t tag;
    ReadExact(&tag, 1);
    FValue = Variant();
    switch (tag) {
        case 0: FEof = true; break;
        case 1: break;
        case 2: FValue = Variant::Null(); break;
        case 3: {
            uint8_t b[4];
            ReadExact(b, 4);
            FValue = Variant(static_cast<int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24));
            break;
        }
        case 4: {
            double d;
            ReadExact(&d, 8);
            FValue = Variant(d);
            break;
        }
        case 5:
        case 6: {
            const int32_t n = ReadLength(1);
            if (FInPlace) {
                const auto* p = reinterpret_cast<const char*>(static_cast<TClipboardStreamEh*>(FInPlace)->Consume(n));
                if (!p) FormatError();
                FValue = Variant(AnsiString(p, static_cast<size_t>(n)));
                break;
            }
            AnsiString s(static_cast<size_t>(n), '\0');
            if (!s.empty()) ReadExact(s.data(), static_cast<int64_t>(s.size()));
            FValue = Variant(std::move(s));
            break;
        }
        case 7: {
            const int32_t n = ReadLength(2);
            std::string bytes(static_cast<size_t>(n), '\0');
            if (n) ReadExact(bytes.data(), n);
            WideString w(static_cast<size_t>(n / 2), u'\0');
            for (size_t i = 0; i < w.size(); ++i)
                w[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1])
                                                                                      << 8);
            FValue = Variant(std::move(w));
            break;
        }
        default: break;
    }
}

void TDBGridEhImportAsVCLDBIF::ReadRow(TColumnsEhList* Columns) {
    db::TDataSet* ds = DBGrid()->DataSet();
    const size_t state = (ds && ds->State() == db::dsInsert ? 2 : 0) + (ds && ds->IsEmpty() ? 1 : 0);
    const int n = std::min(FColCount, Columns->Count());
    if (FWritable.size() < static_cast<size_t>(n)) FWritable.resize(static_cast<size_t>(n), {-1, -1, -1, -1});
    for (int i = 0; i < FColCount; ++i) {
        if (i >= n) {
            WriteCellValue(nullptr, false);
            continue;
        }
        TColumnEh* col = Columns->Items(i);
        int8_t& writable = FWritable[static_cast<size_t>(i)][state];
        if (writable < 0 && !FValue.IsEmpty()) writable = col->CanModifyField(false) ? 1 : 0;
        WriteCellValue(col, writable == 1);
    }
}

void TDBGridEhImportAsVCLDBIF::ReadCell(TColumnEh* Column) {
    WriteCellValue(Column, Column && Column->CanModifyField(false));
}

void TDBGridEhImportAsVCLDBIF::WriteCellValue(TColumnEh* Column, bool Writable) {
    if (!FValue.IsEmpty() && Column && Writable) {
        db::TField* f = Column->Field();
        if (IsLookup(f)) {
            const std::vector<db::TField*> keys = KeyFieldsOf(f);
            WriteValue([&] {
                rtl::TOwnedPtr<rtl::TStringList> values(rtl::Create<rtl::TStringList>());
                values->SetCommaText(FValue.AsAnsiString());
                // Checked before any key is written, so that a short key text writes nothing.
                if (!keys.empty()) values->Strings(static_cast<int>(keys.size()) - 1);
                for (size_t i = 0; i < keys.size(); ++i)
                    if (EditField(keys[i])) keys[i]->SetAsString(values->Strings(static_cast<int>(i)));
            });
        } else if (EditField(f)) {
            WriteValue([&] { f->SetValue(FValue); });
        }
    }
    ReadValue();
}

// ---------------------------------------------------------------------------------------------
// Commands

void ExportGridToStream(const rtl::ClassRef& ExpClass, TCustomDBGridEh* Grid, rtl::TStream* Stream, bool All) {
    if (!ExpClass.InheritsFrom(&TDBGridEhExport::StaticClass())) throw rtl::EInvalidOperation("Invalid class typecast");
    rtl::TOwnedPtr<TDBGridEhExport> exp(static_cast<TDBGridEhExport*>(ExpClass.NewInstance()));
    exp->SetDBGrid(Grid);
    exp->SaveToStream(Stream, All);
}

void ImportGridFromStream(const rtl::ClassRef& ImpClass, TCustomDBGridEh* Grid, rtl::TStream* Stream, bool All) {
    if (!ImpClass.InheritsFrom(&TDBGridEhImport::StaticClass())) throw rtl::EInvalidOperation("Invalid class typecast");
    rtl::TOwnedPtr<TDBGridEhImport> imp(static_cast<TDBGridEhImport*>(ImpClass.NewInstance()));
    imp->SetDBGrid(Grid);
    imp->LoadFromStream(Stream, All);
}

void StreamToClipboard(ui::TClipboardFormat Format, rtl::TStream* Stream) {
    if (auto* ms = dynamic_cast<editors::TMemoryStreamEh*>(Stream)) {
        const auto* p = static_cast<const uint8_t*>(ms->Memory());
        ui::Clipboard()->SetData(Format, p ? rtl::TBytes(p, p + ms->Size()) : rtl::TBytes());
        return;
    }
    rtl::TBytes bytes(static_cast<size_t>(Stream->Size()));
    const int64_t saved = Stream->Position();
    Stream->SetPosition(0);
    if (!bytes.empty()) Stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    Stream->SetPosition(saved);
    ui::Clipboard()->SetData(Format, std::move(bytes));
}

void ClipboardToStream(ui::TClipboardFormat Format, rtl::TStream* Stream) {
    if (!ui::Clipboard()->HasFormat(Format)) return;
    const rtl::TBytes bytes = ui::Clipboard()->GetData(Format);
    if (!bytes.empty()) Stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void GridClipboardCopy(TCustomDBGridEh* Grid, bool All) {
    ui::TClipboard* cb = ui::Clipboard();
    db::TDataSet* ds = Grid->DataSet();
    cb->Open();
    if (ds) ds->DisableControls();
    rtl::TryFinally(
        [&] {
            rtl::TOwnedPtr<TClipboardStreamEh> ms(rtl::Create<TClipboardStreamEh>());
            size_t textSize = 0;
            // Each format is reserved at a multiple of the plain text's size, so that it rarely
            // grows; the bytes then go to the clipboard as they are.
            auto put = [&](const rtl::ClassRef& Exporter, int Zeros, ui::TClipboardFormat Format, size_t Scale) {
                ms->Reserve(textSize * Scale);
                ExportGridToStream(Exporter, Grid, ms.get(), All);
                static const uint8_t zeros[2] = {0, 0};
                if (Zeros) ms->WriteBuffer(zeros, Zeros);
                if (!textSize) textSize = ms->Bytes().size();
                cb->SetData(Format, ms->Take());
            };
            put(TDBGridEhExportAsText::StaticClass(), 1, ui::CF_TEXT, 0);
            put(TDBGridEhExportAsUnicodeText::StaticClass(), 2, ui::CF_UNICODETEXT, 2);
            put(TDBGridEhExportAsCSV::StaticClass(), 1, CF_CSV(), 2);
            put(TDBGridEhExportAsRTF::StaticClass(), 1, CF_RICH_TEXT_FORMAT(), 24);
            put(TDBGridEhExportAsVCLDBIF::StaticClass(), 0, CF_VCLDBIF(), 2);
        },
        [&] {
            cb->Close();
            if (ds) ds->EnableControls();
        });
}

void GridClipboardPaste(TCustomDBGridEh* Grid, bool All) {
    ui::TClipboard* cb = ui::Clipboard();
    cb->Open();
    rtl::TryFinally(
        [&] {
            const rtl::ClassRef* importer = nullptr;
            ui::TClipboardFormat format = 0;
            if (cb->HasFormat(CF_VCLDBIF())) {
                importer = &TDBGridEhImportAsVCLDBIF::StaticClass();
                format = CF_VCLDBIF();
            } else if (cb->HasFormat(ui::CF_UNICODETEXT)) {
                importer = &TDBGridEhImportAsUnicodeText::StaticClass();
                format = ui::CF_UNICODETEXT;
            } else if (cb->HasFormat(ui::CF_TEXT)) {
                importer = &TDBGridEhImportAsText::StaticClass();
                format = ui::CF_TEXT;
            }
            if (!importer) return;
            rtl::TOwnedPtr<TClipboardStreamEh> ms(rtl::Create<TClipboardStreamEh>(cb->GetData(format)));
            ImportGridFromStream(*importer, Grid, ms.get(), All);
        },
        [&] { cb->Close(); });
}

void GridClipboardCut(TCustomDBGridEh* Grid, bool All) {
    GridClipboardCopy(Grid, All);
    GridDeleteSelection(Grid, All);
}

namespace {

// Clears the cells of the current record in Columns; a lookup column clears its key fields.
void ClearCells(TColumnsEhList* Columns) {
    for (int i = 0; i < Columns->Count(); ++i) {
        TColumnEh* col = Columns->Items(i);
        if (!col->CanModifyField(false)) continue;
        db::TField* f = col->Field();
        const std::vector<db::TField*> fields = IsLookup(f) ? KeyFieldsOf(f) : std::vector<db::TField*>{f};
        for (db::TField* k : fields) {
            db::TDataSet* ds = k->DataSet();
            if (!k->CanModify() || !ds) continue;
            ds->Edit();
            if (ds->State() == db::dsEdit || ds->State() == db::dsInsert) k->Clear();
        }
    }
}

}  // namespace

void GridDeleteSelection(TCustomDBGridEh* Grid, bool All) {
    db::TDataSet* ds = Grid->DataSet();
    TDBGridEhSelection* sel = Grid->Selection();
    const TDBGridEhSelectionType kind = All ? gstAll : sel->SelectionType();
    if (kind == gstNon || !Grid->DataSource() || !ds) return;
    // Deleting every record and clearing whole columns ask as well: they lose the most.
    AnsiString question;
    switch (kind) {
        case gstRecordBookmarks:
            question = sel->Rows()->Count() < 2 ? msg::SDeleteRecordQuestion : msg::SDeleteMultipleRecordsQuestion;
            break;
        case gstAll: question = msg::SDeleteMultipleRecordsQuestion; break;
        default: question = msg::SClearSelectedCellsEh; break;
    }
    if (Grid->Options().Contains(dgConfirmDelete) &&
        ui::Application()->MessageBox(question, "Confirm", ui::MB_OKCANCEL | ui::MB_ICONQUESTION) == ui::IDCANCEL)
        return;
    const TCustomDBGridEh::TSavedPosition position = Grid->SavePosition();
    bool restore = true;
    rtl::TOwnedPtr<TColumnsEhList> own = NewColumnList();
    ds->DisableControls();
    rtl::TryFinally(
        [&] {
            if (kind == gstRecordBookmarks) {
                restore = false;
                ForEachSelectedRecord(Grid, kind, [&] { ds->Delete(); });
                sel->Clear();
            } else if (kind == gstAll) {
                restore = false;
                ds->First();
                while (!ds->Eof()) ds->Delete();
            } else {
                TColumnsEhList* cols = SelectionColumns(Grid, kind, own.get());
                ForEachSelectedRecord(Grid, kind, [&] { ClearCells(cols); });
            }
        },
        [&] {
            if (restore) Grid->RestorePosition(position);
            ds->EnableControls();
        });
}

}  // namespace grid

// The grid's cells to and from streams and the clipboard: exporters that walk the selection and
// write one format, importers that read one format into the dataset, and the Copy, Cut, Paste and
// Delete commands that join them to the clipboard.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "controls/editors/TarnelVCL.h"
#include "controls/grid/DBGridEh.h"
#include "framework/rtl/Streams.h"
#include "framework/ui/Clipbrd.h"

namespace grid {

using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

// The registered clipboard formats (registered on first use, kept for the process).
ui::TClipboardFormat CF_VCLDBIF();
ui::TClipboardFormat CF_CSV();
ui::TClipboardFormat CF_RICH_TEXT_FORMAT();

// ---------------------------------------------------------------------------------------------
// What the exporters need of one column footer. The grid's column footers feed it through
// ExportFooterSource; until a grid has them every footer cell is a text cell.

enum TExportFooterKindEh { efkText, efkSum, efkCount };

struct TExportFooterEh {
    TExportFooterKindEh Kind = efkText;
    WideString FieldName;       // empty: the column's field
    ui::TFont* Font = nullptr;  // not owned
    ui::TColor Color = ui::clWindow;
    TAlignment Alignment = db::taLeftJustify;
    AnsiString Text;  // the grid's own footer text, for text cells
};

using TExportFooterSourceEh = std::function<TExportFooterEh(TCustomDBGridEh* Grid, TColumnEh* Column, int Row)>;
// The grid's footer font and colour, the field's alignment and no text.
TExportFooterEh DefaultExportFooter(TCustomDBGridEh* Grid, TColumnEh* Column, int Row);
inline TExportFooterSourceEh ExportFooterSource = DefaultExportFooter;

// Footer sums in ten-thousandths: Value x 10000 rounded, and a checked sum; both raise
// EIntOverflow "Integer overflow" instead of wrapping.
int64_t FooterScaledValue(double Value);
int64_t FooterAddChecked(int64_t Sum, int64_t Value);

// ---------------------------------------------------------------------------------------------
// What an exporter and an importer share: the grid, the stream and the columns they walk.

class TDBGridEhTransferEh : public rtl::TObject {
    RTL_CLASS(TDBGridEhTransferEh, rtl::TObject)
public:
    TCustomDBGridEh* DBGrid() const noexcept { return FDBGrid; }
    void SetDBGrid(TCustomDBGridEh* Value) noexcept { FDBGrid = Value; }
    rtl::TStream* Stream() const noexcept { return FStream; }

protected:
    TCustomDBGridEh* FDBGrid = nullptr;
    rtl::TStream* FStream = nullptr;
    TColumnsEhList* FColumns = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Exporters

using TFooterValues = std::vector<int64_t>;

class TDBGridEhExport : public TDBGridEhTransferEh {
    RTL_CLASS(TDBGridEhExport, TDBGridEhTransferEh)
public:
    TDBGridEhExport();
    ~TDBGridEhExport() override;

    TColumnsEhList* ExpCols() const noexcept { return FColumns; }
    const TFooterValues& FooterValues() const noexcept { return FFooterValues; }
    // The formatted accumulator of footer Row in exported column position Pos.
    AnsiString FooterValueText(int Pos, int Row);

    virtual void WritePrefix() {}
    virtual void WriteTrailer() {}
    virtual void WriteTitleRow(TColumnsEhList* /*Columns*/) {}
    virtual void WriteRow(TColumnsEhList* Columns);
    virtual void WriteCell(TColumnEh* /*Column*/, TColCellParamsEh* /*Params*/) {}
    virtual void WriteFooterRow(TColumnsEhList* Columns, int FooterNo);
    virtual void WriteFooterCell(int /*DataCol*/, int /*Row*/, const AnsiString& /*Text*/, TAlignment /*Alignment*/,
                                 ui::TColor /*Background*/, ui::TFont* /*Font*/, TColumnEh* /*Column*/) {}
    virtual void SaveToStream(rtl::TStream* AStream, bool IsSaveAll);
    virtual void SaveToFile(const AnsiString& FileName, bool IsSaveAll);

protected:
    // The cell parameters of Column for the current record, as they are painted.
    void FillCellParams(TColumnEh* Column);
    void WriteBytes(const void* Data, size_t Count);
    void WriteText(const AnsiString& Text) { WriteBytes(Text.data(), Text.size()); }
    TColCellParamsEh* CellParams() const noexcept { return FColCellParams.get(); }
    // The footer cell of the column at position Pos for footer Row, after the grid's
    // OnGetFooterParams; the font is the exporter's footer font.
    ui::TFont* FooterCell(TColumnsEhList* Columns, int Pos, int Row, ui::TColor& Background, TAlignment& Alignment,
                          AnsiString& Text);

private:
    // What a column's cells start from that does not change from row to row.
    struct TColumnDefaults {
        ui::TFont* Font;
        ui::TColor Color;
        TAlignment Alignment;
        // As in painting, the image index and the check box are read only where the cell shows them.
        bool ShowsImage;
        bool ShowsCheckbox;
    };
    static TColumnDefaults DefaultsOf(TColumnEh* Column);
    void FillCellParams(TColumnEh* Column, const TColumnDefaults& Defaults);
    void InitFooterValues();
    void CalcFooterValues();
    std::vector<TColumnDefaults> FRowDefaults;
    TColumnsEhList* FRowDefaultsOf = nullptr;
    TFooterValues FFooterValues;
    rtl::TOwnedPtr<TColCellParamsEh> FColCellParams;
    // One font for every cell, assigned from the column's font each time.
    rtl::TOwnedPtr<ui::TFont> FCellFont;
    rtl::TOwnedPtr<ui::TFont> FFooterFont;
};

class TDBGridEhExportAsText : public TDBGridEhExport {
    RTL_CLASS(TDBGridEhExportAsText, TDBGridEhExport)
public:
    void WriteTitleRow(TColumnsEhList* Columns) override;
    void WriteRow(TColumnsEhList* Columns) override;
    void WriteCell(TColumnEh* Column, TColCellParamsEh* Params) override;
    void WriteFooterRow(TColumnsEhList* Columns, int FooterNo) override;
    void WriteFooterCell(int DataCol, int Row, const AnsiString& Text, TAlignment Alignment, ui::TColor Background,
                         ui::TFont* Font, TColumnEh* Column) override;
    void SaveToStream(rtl::TStream* AStream, bool IsSaveAll) override;
    virtual void WriteRowBreak();
    virtual void WriteCellBreak();

protected:
    // Every string of the layout goes out through here.
    virtual void PutText(const AnsiString& Text) { WriteText(Text); }
    bool FirstRow = true;
    bool FirstCell = true;
};

// The text layout in UTF-16LE.
class TDBGridEhExportAsUnicodeText : public TDBGridEhExportAsText {
    RTL_CLASS(TDBGridEhExportAsUnicodeText, TDBGridEhExportAsText)
protected:
    void PutText(const AnsiString& Text) override;

private:
    // The UTF-16 unit of each code page byte, made once per exporter; unusable when a byte
    // does not stand for exactly one unit.
    std::array<char16_t, 256> FUnits{};
    int FUnitsState = 0;  // 0 not made, 1 usable, -1 unusable
    std::string FBytes;
};

class TDBGridEhExportAsCSV : public TDBGridEhExportAsText {
    RTL_CLASS(TDBGridEhExportAsCSV, TDBGridEhExportAsText)
public:
    TDBGridEhExportAsCSV() : Separator(';') {}
    void WriteTitleRow(TColumnsEhList* Columns) override;
    void WriteCell(TColumnEh* Column, TColCellParamsEh* Params) override;
    void WriteFooterCell(int DataCol, int Row, const AnsiString& Text, TAlignment Alignment, ui::TColor Background,
                         ui::TFont* Font, TColumnEh* Column) override;
    void WriteCellBreak() override;
    char Separator;
};

class TDBGridEhExportAsRTF : public TDBGridEhExport {
    RTL_CLASS(TDBGridEhExportAsRTF, TDBGridEhExport)
public:
    TDBGridEhExportAsRTF();
    ~TDBGridEhExportAsRTF() override;
    void WriteTrailer() override;
    void WriteTitleRow(TColumnsEhList* Columns) override;
    void WriteRow(TColumnsEhList* Columns) override;
    void WriteCell(TColumnEh* Column, TColCellParamsEh* Params) override;
    void WriteFooterRow(TColumnsEhList* Columns, int FooterNo) override;
    void WriteFooterCell(int DataCol, int Row, const AnsiString& Text, TAlignment Alignment, ui::TColor Background,
                         ui::TFont* Font, TColumnEh* Column) override;
    void SaveToStream(rtl::TStream* AStream, bool IsSaveAll) override;

private:
    struct TBorders {
        bool Left = true, Top = true, Bottom = true, Right = true;
    };
    int ColorIndex(ui::TColor Color);
    int ColorTableIndex(ui::TColor Color);
    int FontIndex(const AnsiString& Name);
    int FontTableIndex(const AnsiString& Name);
    void WriteCellDef(const TBorders& Borders, ui::TColor Background, int RightEdge);
    void WriteCellText(TAlignment Alignment, const AnsiString& Spacing, ui::TFont* Font, ui::TColor Background,
                       const AnsiString& Text);
    void WriteTextRun(ui::TFont* Font, ui::TColor Background, const AnsiString& Text);
    std::vector<int> RightEdges(TColumnsEhList* Columns);
    void WriteMultiTitle(TColumnsEhList* Columns);
    void Put(std::string_view Text);
    void PutInt(int Value);
    void Flush();
    rtl::TOwnedPtr<ui::TFont> FScratchFont;
    std::vector<AnsiString> FColors;
    std::vector<std::pair<ui::TColor, int>> FColorCache;
    std::vector<AnsiString> FFonts;
    int FLastFont = -1;
    std::string FBuffer;
    // Where the runs go straight to, when the target stream lends its bytes.
    rtl::TBytes* FOut = nullptr;
    std::vector<int> FRowEdges;
    TColumnsEhList* FRowEdgesOf = nullptr;
};

class TDBGridEhExportAsVCLDBIF : public TDBGridEhExport {
    RTL_CLASS(TDBGridEhExportAsVCLDBIF, TDBGridEhExport)
public:
    void WritePrefix() override;
    void WriteTrailer() override;
    void WriteCell(TColumnEh* Column, TColCellParamsEh* Params) override;
};

// ---------------------------------------------------------------------------------------------
// Importers

class TDBGridEhImport : public TDBGridEhTransferEh {
    RTL_CLASS(TDBGridEhImport, TDBGridEhTransferEh)
public:
    TDBGridEhImport();
    ~TDBGridEhImport() override;

    bool Eof() const noexcept { return FEof; }
    TColumnsEhList* ImpCols() const noexcept { return FColumns; }

    virtual void ReadPrefix() {}
    virtual void ReadTrailer() {}
    virtual void ReadRow(TColumnsEhList* Columns);
    virtual void ReadCell(TColumnEh* /*Column*/) {}
    virtual void LoadFromStream(rtl::TStream* AStream, bool IsLoadAll);
    virtual void LoadFromFile(const AnsiString& FileName, bool IsLoadAll);

protected:
    // Runs one value's write; an error asks whether to go on (Yes), stop the paste (No, silently)
    // or go on without asking again (All).
    template <class TWrite>
    void WriteValue(TWrite&& Write) {
        try {
            Write();
        } catch (const rtl::EAbort&) {
            throw;
        } catch (const rtl::Exception& E) {
            ValueError(E);
        }
    }
    void ValueError(const rtl::Exception& E);
    // Edit on Field's dataset; true when it is then editing or inserting and may be modified.
    static bool EditField(db::TField* Field);
    bool FEof = false;
    bool FIgnoreAll = false;

private:
    void InsertRows(bool Append);
};

// Tab-separated text, single-byte (Unit 1) or UTF-16LE (Unit 2); one reader does both.
class TDBGridEhImportAsTextBase : public TDBGridEhImport {
    RTL_CLASS(TDBGridEhImportAsTextBase, TDBGridEhImport)
public:
    void ReadPrefix() override;
    void ReadRow(TColumnsEhList* Columns) override;
    void ReadCell(TColumnEh* Column) override;
    void LoadFromStream(rtl::TStream* AStream, bool IsLoadAll) override;

protected:
    explicit TDBGridEhImportAsTextBase(int Unit, const char* ClassName) : FUnit(Unit), FClassName(ClassName) {}
    int CheckState();

private:
    bool ReadChar(char16_t& C);
    int ReadCellText();
    int FUnit;
    const char* FClassName;
    char16_t FLastChar = 0;
    bool FEmptyCell = false;
    int FLastState = 2;
    WideString FCellText;
};

class TDBGridEhImportAsText : public TDBGridEhImportAsTextBase {
    RTL_CLASS(TDBGridEhImportAsText, TDBGridEhImportAsTextBase)
public:
    TDBGridEhImportAsText() : TDBGridEhImportAsTextBase(1, "TDBGridEhImportAsText") {}
};

class TDBGridEhImportAsUnicodeText : public TDBGridEhImportAsTextBase {
    RTL_CLASS(TDBGridEhImportAsUnicodeText, TDBGridEhImportAsTextBase)
public:
    TDBGridEhImportAsUnicodeText() : TDBGridEhImportAsTextBase(2, "TDBGridEhImportAsUnicodeText") {}
};

class TDBGridEhImportAsVCLDBIF : public TDBGridEhImport {
    RTL_CLASS(TDBGridEhImportAsVCLDBIF, TDBGridEhImport)
public:
    void ReadPrefix() override;
    void ReadRow(TColumnsEhList* Columns) override;
    void ReadCell(TColumnEh* Column) override;
    void LoadFromStream(rtl::TStream* AStream, bool IsLoadAll) override;
    int ColCount() const noexcept { return FColCount; }

private:
    [[noreturn]] void FormatError() const;
    void ReadExact(void* Buffer, int64_t Count);
    int32_t ReadLength(int Unit);
    void ReadValue();
    void WriteCellValue(TColumnEh* Column, bool Writable);
    int32_t FColCount = 0;
    // Whether a column takes values, asked once per paste for each column and for each of the
    // dataset states it depends on (inserting or not, empty or not); -1 not yet asked.
    std::vector<std::array<int8_t, 4>> FWritable;
    // The clipboard's stream, read in place rather than through calls of the stream.
    rtl::TStream* FInPlace = nullptr;
    std::vector<std::pair<AnsiString, bool>> FColumnNames;
    bool FHasNames = false;
    Variant FValue;
};

// ---------------------------------------------------------------------------------------------
// Commands

// The class references take the exporter or importer class; ExpClass must derive from
// TDBGridEhExport, ImpClass from TDBGridEhImport.
void ExportGridToStream(const rtl::ClassRef& ExpClass, TCustomDBGridEh* Grid, rtl::TStream* Stream, bool All);
void ImportGridFromStream(const rtl::ClassRef& ImpClass, TCustomDBGridEh* Grid, rtl::TStream* Stream, bool All);

// The stream's bytes as the clipboard's block of Format; and the block of Format appended to Stream.
void StreamToClipboard(ui::TClipboardFormat Format, rtl::TStream* Stream);
void ClipboardToStream(ui::TClipboardFormat Format, rtl::TStream* Stream);

void GridClipboardCopy(TCustomDBGridEh* Grid, bool All);
void GridClipboardCut(TCustomDBGridEh* Grid, bool All);
void GridClipboardPaste(TCustomDBGridEh* Grid, bool All);
void GridDeleteSelection(TCustomDBGridEh* Grid, bool All);

namespace msg {
inline constexpr const char* SInvalidTextFormat = "Invalid text format";
inline constexpr const char* SInvalidVCLDBIFFormat = "Invalid VCLDBIF format";
inline constexpr const char* SErrorDuringInsertValue = "Error during insert value:";
inline constexpr const char* SIgnoreError = "Ignore error?";
inline constexpr const char* SDeleteRecordQuestion = "Delete record?";
inline constexpr const char* SDeleteMultipleRecordsQuestion = "Delete all selected records?";
inline constexpr const char* SClearSelectedCellsEh = "Clear selected cells?";
}  // namespace msg

}  // namespace grid

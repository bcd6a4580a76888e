// Small drawing helpers shared by the data grid's painters: cell text placement, the sort-marker
// and indicator glyphs, the temporary switch of the data link's active record, and what a column
// shows for the record being painted.
#pragma once

#include "controls/grid/DBGridEh.h"
#include "controls/grid/DBGridEh_Setup.h"

namespace grid::paint {

inline constexpr int SortGlyphWidth = 10;
inline constexpr int SortGlyphHeight = 9;
inline constexpr int IndicatorGlyphWidth = 6;
inline constexpr int IndicatorGlyphHeight = 11;

// The rectangle inside a cell's frame: themed cells grow by 1, raised cells lose their edges.
inline TRect InnerCellRect(const TRect& R, bool Themed, bool Drawn3D, bool Flat) {
    if (Themed) return TRect{R.Left - 1, R.Top - 1, R.Right + 1, R.Bottom + 1};
    if (Drawn3D) {
        if (Flat) return TRect{R.Left + 1, R.Top + 1, R.Right, R.Bottom};
        return TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
    }
    return R;
}
// The sort-direction glyph (smDownEh or smUpEh) with its top-left corner at (X, Y).
void DrawSortGlyph(ui::TCanvas* Canvas, int X, int Y, TSortMarkerEh Marker);

// Makes a data row the active record for the life of the object: the record view's (when the
// grid shows one, every record has its own row) or else the data link's.
class TRecordSwitch {
public:
    TRecordSwitch(db::TDataLink* Link, int DataRow, int64_t& Counter)
        : TRecordSwitch(nullptr, Link, DataRow, Counter) {}
    TRecordSwitch(editors::IMemTableEh* View, db::TDataLink* Link, int DataRow, int64_t& Counter)
        : FView(View), FLink(Link), FSaved(View ? View->ViewActiveRecord() : Link->ActiveRecord()) {
        if (FView) {
            FView->SetViewActiveRecord(DataRow);
            return;
        }
        if (DataRow != FSaved) {
            FLink->SetActiveRecord(DataRow);
            ++Counter;
        }
    }
    ~TRecordSwitch() {
        if (FView)
            FView->RestoreViewActiveRecord();
        else if (FLink->ActiveRecord() != FSaved)
            FLink->SetActiveRecord(FSaved);
    }
    TRecordSwitch(const TRecordSwitch&) = delete;
    TRecordSwitch& operator=(const TRecordSwitch&) = delete;
    // The active record before the switch.
    int Saved() const noexcept { return FSaved; }

private:
    editors::IMemTableEh* FView;
    db::TDataLink* FLink;
    int FSaved;
};

}  // namespace grid::paint

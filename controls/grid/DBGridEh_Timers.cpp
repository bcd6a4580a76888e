// The grid's incremental search and its time-out timer.
#include "controls/grid/DBGridEh_Setup.h"
#include "framework/ui/Messages.h"

namespace grid {

namespace {
constexpr uintptr_t IncSearchTimer = 2;
}

void TCustomDBGridEh::IncSearchAppend(const AnsiString& Text, int Interval, TLocateTextDirectionEh Direction) {
    if (!DataLinkActive()) return;
    AnsiString text = FIncSearchText + Text;
    bool found = false;
    if (!text.empty()) {
        found = LocateText(u"", text, lmtFromBeginEh, Direction,
                           ltoCaseInsensitiveEh | ltoMatchFormatEh | ltoStopOnEscape);
        // The search text takes the letter case of the data.
        if (found)
            if (db::TField* f = CurrentField()) text = f->DisplayText().substr(0, text.size());
    }
    HideEditor();
    FIncSearchActive = true;
    if (found || Text.empty()) FIncSearchText = text;
    if (HandleAllocated()) InvalidateRow(Row());
    FIncSearchInterval = Interval;
    if (HandleAllocated()) {
        ui::KillTimer(Handle(), IncSearchTimer);
        if (Interval >= 0) ui::SetTimer(Handle(), IncSearchTimer, static_cast<uint32_t>(Interval));
    }
}

void TCustomDBGridEh::IncSearchStop() {
    if (!FIncSearchActive) return;
    if (HandleAllocated()) ui::KillTimer(Handle(), IncSearchTimer);
    FIncSearchActive = false;
    FIncSearchText.clear();
    if (HandleAllocated()) InvalidateRow(Row());
    if (FOptions.Contains(dgAlwaysShowEditor) && EditorShownAlways()) ShowInplaceEditor();
}

void TCustomDBGridEh::WMTimer(ui::TWMTimer& Message) {
    if (Message.TimerID == IncSearchTimer) {
        IncSearchStop();
        return;
    }
    TCustomGridEh::WMTimer(Message);
}

void TCustomDBGridEh::KeyPress(char& Key) {
    if (Key == '\r' && FOptionsEh.Contains(dghEnterAsTab)) Key = '\t';
    if (Key == '\r' && !FOptions.Contains(dgAlwaysShowEditor) && DataLinkActive()) FDataLink->UpdateRecord();
    const bool searching = FIncSearchActive || (FOptionsEh.Contains(dghPreferIncSearch) &&
                                                !FOptions.Contains(dgAlwaysShowEditor) && !EditorMode());
    if (searching && static_cast<unsigned char>(Key) >= 32 && DataLinkActive() &&
        DataSet()->State() == db::dsBrowse) {
        IncSearchAppend(AnsiString(1, Key), FIncSearchActive ? FIncSearchInterval : IncSearchInterval, ltdAllEh);
        Key = 0;
        return;
    }
    TCustomGridEh::KeyPress(Key);
}

}  // namespace grid

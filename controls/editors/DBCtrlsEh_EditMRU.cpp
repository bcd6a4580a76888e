// The edit base's most-recently-used list.
#include "controls/editors/DBCtrlsEh.h"

namespace editors {

void TCustomDBEditEh::CreateMRUList() {}
void TCustomDBEditEh::FreeMRUList() {}
void TCustomDBEditEh::AddTextToMRUList() {}
void TCustomDBEditEh::OpenMRUAfterBackspace() {}
void TCustomDBEditEh::CloseMRUList(bool) {}
void TCustomDBEditEh::CloseMRUOnCancelMode(ui::TControl*) {}
void TCustomDBEditEh::CloseMRUOnFocusLoss(ui::HWND) {}
bool TCustomDBEditEh::MRUListHasSelection() const { return false; }
bool TCustomDBEditEh::RouteMRUKey(ui::TMessage&) { return false; }
void TCustomDBEditEh::FilterMRUItem(const AnsiString&, bool&) {}
void TCustomDBEditEh::SaveMRUListboxSize() {}
void TCustomDBEditEh::UpdateMRUDropDown() {}

}  // namespace editors

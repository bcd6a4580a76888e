// The inventories journal: inventories submitted for approval, by kind and year.
#pragma once

#include "app/JournalFrame.h"

namespace app {

class TOpisListFrame : public TJournalFrame {
    RTL_CLASS(TOpisListFrame, TJournalFrame)
public:
    explicit TOpisListFrame(rtl::TComponent* Owner);
    VUdeVizov* Query() const override { return DBMod->zOpisi.get(); }
    grid::TDBGridEh* grOpisi;
    // An inventory sent back for rework (result 2) is drawn on this colour.
    static constexpr ui::TColor SentBackColor = static_cast<ui::TColor>(0x00EEFFFF);

protected:
    // A new inventory of the kind in force, with no source.
    void NewRow() override;
    ui::TForm* Card() const override;
};

}  // namespace app

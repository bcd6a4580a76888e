#include "app/OpisListFrame.h"

#include "app/FormServices.h"

namespace app {

TOpisListFrame::TOpisListFrame(rtl::TComponent* Owner)
    : TJournalFrame(Owner,
                    {u8"П/Х", u8"Личный состав", u8"Личные дела", u8"Кино", u8"Фото", u8"Фоно", u8"Видео", u8"НТД",
                     u8"МЧД", u8"Коллекции", u8"Личные фонды", u8"ПМХ"},
                    1980, HelpOpisiFrame) {
    SetName("OpisListFrame1");
}

}  // namespace app

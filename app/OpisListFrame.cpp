#include "app/OpisListFrame.h"

#include "app/FormServices.h"
#include "app/OpisFormUnit.h"

namespace app {

TOpisListFrame::TOpisListFrame(rtl::TComponent* Owner)
    : TJournalFrame(Owner,
                    {u8"П/Х", u8"Личный состав", u8"Личные дела", u8"Кино", u8"Фото", u8"Фоно", u8"Видео", u8"НТД",
                     u8"МЧД", u8"Коллекции", u8"Личные фонды", u8"ПМХ"},
                    1980, HelpOpisiFrame) {
    SetName("OpisListFrame1");
    MakeGrid("grOpisi", DBMod->srcOpisi.get(),
             {{"num", u8"№ п/п", false, true},
              {"reg_date", u8"Дата"},
              {"kind_id",
               u8"Вид",
               true,
               false,
               {u8"п/х", u8"лс", u8"лд", u8"кино", u8"фото", u8"фоно", u8"видео", u8"НТД", u8"МЧД", u8"Колл.", u8"ЛФ"}},
              {"epmk_date", u8"Дата ЭПМК", true, true},
              {"epmk_num", u8"№ протокола", true, true},
              {"source_name", u8"Источник", true, true},
              {"result_id", u8"Результат", true, false, {u8"утверждена", u8"отправлена на доработку"}}},
             true, SentBackColor);
    grOpisi = Grid;
}

void TOpisListFrame::NewRow() { DBMod->NewOpis(1, 0); }

ui::TForm* TOpisListFrame::Card() const { return OpisForm; }

}  // namespace app

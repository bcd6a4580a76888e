#include <filesystem>
#include <fstream>

#include "edit_fixture.h"
#include "framework/ui/Dialogs.h"

namespace uitest {
namespace {

using DialogTest = InputTest;

TEST_F(DialogTest, MessageBoxButtonsCarryRussianCaptions) {
    auto captions = [](unsigned Flags) {
        std::vector<std::string> r;
        for (const auto& b : MessageBoxButtons(Flags))
            r.push_back(rtl::AnsiToUTF8(b.Caption) + "=" + std::to_string(b.Result));
        return r;
    };
    EXPECT_EQ(captions(MB_OK), std::vector<std::string>{"ОК=1"});
    EXPECT_EQ(captions(MB_YESNO), (std::vector<std::string>{"Да=6", "Нет=7"}));
    EXPECT_EQ(captions(MB_OKCANCEL), (std::vector<std::string>{"ОК=1", "Отмена=2"}));
    EXPECT_EQ(captions(MB_YESNOCANCEL), (std::vector<std::string>{"Да=6", "Нет=7", "Отмена=2"}));
    EXPECT_EQ(captions(MB_YESNOTOALL), (std::vector<std::string>{"Да=6", "Нет=7", "Да для всех=10", "Нет для всех=9"}));
    EXPECT_EQ(captions(MB_YESNOALL), (std::vector<std::string>{"Да=6", "Нет=7", "Все=8"}));
}

TEST_F(DialogTest, MessageDlgAsksWithTheButtonSetAndGivesTheScriptedAnswer) {
    std::vector<unsigned> asked;
    std::vector<int> answers = {mrYesToAll, mrNoToAll, mrYes};
    Application()->MessageBoxHandler = [&](const AnsiString&, const AnsiString&, unsigned Flags) {
        asked.push_back(Flags);
        const int a = answers.front();
        answers.erase(answers.begin());
        return a;
    };
    const TMsgDlgButtons four{mbYes, mbNo, mbYesToAll, mbNoToAll};
    EXPECT_EQ(MessageDlg("Replace?", mtConfirmation, four), mrYesToAll);
    EXPECT_EQ(MessageDlg("Replace?", mtConfirmation, four), mrNoToAll);
    EXPECT_EQ(MessageDlg("Sure?", mtWarning, {mbYes, mbNo, mbCancel}), mrYes);
    EXPECT_EQ(asked, (std::vector<unsigned>{MB_YESNOTOALL | MB_ICONQUESTION, MB_YESNOTOALL | MB_ICONQUESTION,
                                            MB_YESNOCANCEL | MB_ICONWARNING}));
    EXPECT_THROW(MessageDlg("?", mtCustom, {mbYes, mbAll}), rtl::EInvalidOperation);
    answers = {mrAll};
    EXPECT_EQ(MessageDlg("Ignore?", mtError, {mbYes, mbNo, mbAll}), mrAll);
    EXPECT_EQ(asked.back(), MB_YESNOALL | MB_ICONERROR);
    Application()->MessageBoxHandler = nullptr;
}

TEST_F(DialogTest, EnterAnswersTheDefaultButtonAndEscTheNegativeOne) {
    struct Case {
        unsigned Flags;
        UINT Key;
        int Result;
    } cases[] = {
        {MB_YESNO | MB_ICONQUESTION, VK_RETURN, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, VK_RETURN, IDNO},
        {MB_YESNO, VK_ESCAPE, IDNO},
        {MB_OKCANCEL, VK_ESCAPE, IDCANCEL},
        {MB_OK, VK_ESCAPE, IDOK},
        {MB_YESNOTOALL | MB_DEFBUTTON3, VK_RETURN, IDYESTOALL},
        {MB_YESNOTOALL | MB_DEFBUTTON4, VK_RETURN, IDNOTOALL},
        {MB_YESNOTOALL | MB_DEFBUTTON4, VK_ESCAPE, IDNO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Flags);
        TForm* dlg =
            CreateMessageDialog(Cp(u8"Действительно удалить запись?"), Cp(u8"Внимание! Удаление записи"), c.Flags);
        dlg->OnShow = [dlg, key = c.Key](TObject*) { PostMessage(dlg->ActiveControl()->Handle(), WM_KEYDOWN, key, 1); };
        EXPECT_EQ(dlg->ShowModal(), c.Result);
        EXPECT_EQ(dlg->Caption(), Cp(u8"Внимание! Удаление записи"));
        dlg->Free();
    }
}

TEST_F(DialogTest, OpenDialogIsScriptedAndRefusesMissingFilesWhenTheyMustExist) {
    const auto dir = std::filesystem::temp_directory_path() / "i22_open_dialog";
    std::filesystem::create_directories(dir);
    const auto file = dir / "опись.txt";
    std::ofstream(file) << "x";
    auto* dlg = rtl::Create<TOpenDialog>(nullptr);
    dlg->SetFilter(Cp(u8"Текст|*.txt|Все файлы|*.*"));
    dlg->SetOptions({ofFileMustExist});
    EXPECT_EQ(dlg->FilterList().size(), 2u);
    EXPECT_EQ(dlg->FilterList()[1].second, "*.*");
    EXPECT_FALSE(dlg->Execute()) << "no presenter installed";

    AnsiString chosen = rtl::UTF8ToAnsi(file.string());
    TOpenDialog::SetPresenter([&](TOpenDialog& D) {
        D.SetFileName(chosen);
        return true;
    });
    EXPECT_TRUE(dlg->Execute());
    EXPECT_EQ(dlg->Files()->Count(), 1);
    chosen = rtl::UTF8ToAnsi((dir / "нет.txt").string());
    EXPECT_FALSE(dlg->Execute());
    TOpenDialog::SetPresenter([](TOpenDialog&) { return false; });
    EXPECT_FALSE(dlg->Execute());
    TOpenDialog::SetPresenter(nullptr);
    dlg->Free();
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace uitest

// Attached files: a row of "files" names each, and its copy lives in FilesDir as id + extension.
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/DBModUnit.h"

namespace app {

namespace fs = std::filesystem;

namespace {
const char8_t* const NotFoundText = u8"Файл не обнаружен. Возможно он был удален или переименован.";
const char8_t* const NotFoundCaption = u8"Файл отсутствует";

AnsiString T(const char8_t* Utf8) { return rtl::UTF8ToAnsi(std::u8string_view(Utf8)); }

int32_t FileIdOf(VUdeVizov* Query) {
    db::TField* f = Query->FieldByName("file_id");
    return f->IsNull() ? 0 : f->AsInteger();
}
}  // namespace

std::string TempVelmoratDir() {
    const char* temp = std::getenv("TEMP");
    fs::path base = temp && *temp ? fs::path(temp) : fs::temp_directory_path();
    return (base / "Velmorat").string() + "/";
}

std::string TDBMod::Extension(const AnsiString& Name) { return fs::path(rtl::AnsiToUTF8(Name)).extension().string(); }

bool TDBMod::OpenFileRow(int32_t FileId) {
    if (zFiles->Active()) zFiles->Close();
    zFiles->Params()->Items(0)->SetAsInteger(FileId);
    zFiles->Open();
    return !zFiles->IsEmpty();
}

bool TDBMod::AttachFile(VUdeVizov* Query) {
    std::string picked;
    if (!FServices->OpenFileDialog(T(u8"Все файлы|*.*"), picked)) return false;
    std::error_code ec;
    fs::create_directories(FilesDir, ec);
    if (ec) {
        FServices->MessageBox(T(u8"Не удается создать папку файлов: ") + rtl::UTF8ToAnsi(FilesDir), T(u8"Ошибка"),
                              TMsgIcon::Error);
        return false;
    }
    OpenFileRow(0);
    int32_t id = 0;
    rtl::TryFinally(
        [&] {
            zFiles->Append();
            zFiles->Fields()[1]->SetAsString(rtl::UTF8ToAnsi(fs::path(picked).filename().string()));
            zFiles->Post();
            id = zFiles->Fields()[0]->AsInteger();
        },
        [&] { zFiles->Close(); });
    const std::string copy = FilesDir + std::to_string(id) + fs::path(picked).extension().string();
    fs::copy_file(picked, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        // No files row stays behind without its copy.
        zServer->ExecSQL("DELETE FROM files WHERE id = :ID", {rtl::Variant(id)});
        FServices->MessageBox(T(u8"Не удается скопировать файл: ") + rtl::UTF8ToAnsi(ec.message()), T(u8"Ошибка"),
                              TMsgIcon::Error);
        return false;
    }
    if (Query->State() != db::dsInsert) Query->Edit();
    Query->FieldByName("file_id")->SetAsInteger(id);
    return true;
}

void TDBMod::GetAttachedFileName(VUdeVizov* Query, std::string& FileName) {
    // The program's folder in the temporary directory is made ready (nothing is put into it).
    std::error_code ec;
    fs::create_directories(TempVelmoratDir(), ec);
    const int32_t id = FileIdOf(Query);
    FileName.clear();
    if (id < 1) return;
    std::string ext;
    rtl::TryFinally(
        [&] {
            if (OpenFileRow(id)) ext = Extension(zFiles->Fields()[1]->AsString());
        },
        [&] { zFiles->Close(); });
    FileName = FilesDir + std::to_string(id) + ext;
}

void TDBMod::OpenAttachedFile(VUdeVizov* Query) {
    std::string path;
    GetAttachedFileName(Query, path);
    if (path.empty() || !fs::exists(path)) {
        FServices->MessageBox(T(NotFoundText), T(NotFoundCaption), TMsgIcon::Error);
        return;
    }
    FServices->OpenWithDesktop(path);
}

bool TDBMod::DetachFile(VUdeVizov* Query) {
    // Posting here would save a card's pending row past the card's own check.
    if (Query->State() != db::dsInsert && Query->State() != db::dsEdit) Query->Edit();
    Query->FieldByName("file_id")->SetAsInteger(0);
    return true;
}

void TDBMod::EntryBeforeDelete(db::TDataSet* DataSet) {
    // Removed only once the entry's own delete succeeded.
    FPendingFile[DataSet] = FileIdOf(static_cast<VUdeVizov*>(DataSet));
}

void TDBMod::EntryAfterDelete(db::TDataSet* DataSet) {
    const int32_t id = FPendingFile[DataSet];
    FPendingFile.erase(DataSet);
    RemoveAttachment(id);
}

void TDBMod::RemoveAttachment(int32_t FileId) {
    if (FileId < 1) return;
    std::string ext;
    bool found = false;
    rtl::TryFinally(
        [&] {
            found = OpenFileRow(FileId);
            if (found) ext = Extension(zFiles->Fields()[1]->AsString());
        },
        [&] { zFiles->Close(); });
    if (!found) return;
    std::error_code ec;
    fs::remove(FilesDir + std::to_string(FileId) + ext, ec);  // a missing copy is no error
    zServer->ExecSQL("DELETE FROM files WHERE id = :ID", {rtl::Variant(FileId)});
}

}  // namespace app

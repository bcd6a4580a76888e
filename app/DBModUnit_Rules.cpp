// Running numbers, the rules that run when journal rows are posted or deleted, and new rows.
#include <filesystem>
#include <utility>

#include "app/DBModUnit.h"
#include "data/access/DBAccess_Error.h"
#include "framework/rtl/DateUtils.h"

namespace app {

namespace {

constexpr int BusyRetries = 40;

bool IsEditing(db::TDataSet* DataSet) { return DataSet->State() == db::dsEdit || DataSet->State() == db::dsInsert; }

int32_t IntOrZero(db::TField* Field) { return Field->IsNull() ? 0 : Field->AsInteger(); }

}  // namespace

int32_t YearOfField(db::TField* Field) {
    if (Field->IsNull()) return ThisYear ? ThisYear : rtl::YearOf(rtl::Now());
    return rtl::YearOf(Field->AsDateTime());
}

// ---------------------------------------------------------------------------------------------
// Running numbers

int32_t TDBMod::NextNumber(uint8_t Journal, int32_t Kind) {
    // One statement raises the counter and returns the number it held, so that two programs on
    // one database never hand out the same number. The unique key makes a second counter row
    // impossible; a database without that key fails here instead of numbering everything 0.
    // A statement refused after the busy time-out changed nothing and is asked again: the engine
    // hands its lock to no queue, and under other programs' steady writing one wait can miss
    // every free moment.
    for (int attempt = 0;; ++attempt) {
        try {
            rtl::TOwnedPtr<VUdeVizov> q = TaskQuery(
                "INSERT INTO numbers (year_of, journal, kind_id, next_num) VALUES (:year, :journal, :kind, 2) "
                "ON CONFLICT (year_of, journal, kind_id) DO UPDATE SET next_num = next_num + 1 "
                "RETURNING next_num - 1");
            q->Params()->Items(0)->SetAsInteger(FYear);
            q->Params()->Items(1)->SetAsInteger(Journal);
            q->Params()->Items(2)->SetAsInteger(Kind);
            q->Open();
            const int32_t result = q->Fields()[0]->AsInteger();
            q->Close();
            return result;
        } catch (const daccess::EDAError& e) {
            if (!IsLockError(e) || attempt >= BusyRetries) throw;
        }
    }
}

void TDBMod::PostIfEditing(VUdeVizov* Query) {
    if (IsEditing(Query)) Query->Post();
}

void TDBMod::SaveSourceCard() {
    PostIfEditing(zSources.get());
    PostIfEditing(zOrgs.get());
    PostIfEditing(zPassport.get());
}

// ---------------------------------------------------------------------------------------------
// Dataset rules

void TDBMod::NumberAndYear(db::TDataSet* DataSet, uint8_t Journal, const char* DateField) {
    db::TField* num = DataSet->FieldByName("num");
    if (num->IsNull()) num->SetAsInteger(NextNumber(Journal, IntOrZero(DataSet->FieldByName("kind_id"))));
    if (DateField) DataSet->FieldByName("year_of")->SetAsInteger(YearOfField(DataSet->FieldByName(DateField)));
}

void TDBMod::BindRules() {
    zSources->BeforePost = [this](db::TDataSet* d) {
        db::TField* num = d->FieldByName("num");
        if (num->IsNull()) num->SetAsInteger(NextNumber(jSources, IntOrZero(d->FieldByName("sourcekind_id"))));
    };
    zSources->AfterPost = [this](db::TDataSet* d) { SourceAfterPost(d); };
    zSources->BeforeDelete = [this](db::TDataSet* d) { SourceBeforeDelete(d); };
    zSources->AfterDelete = [this](db::TDataSet*) {
        if (!std::exchange(FOwnDeleteTransaction, false)) return;
        // A commit the engine refuses (another program reading past the busy time-out) leaves
        // the transaction open: every later write would join it and be lost with it.
        try {
            zServer->Commit();
        } catch (...) {
            if (zServer->InTransaction()) zServer->Rollback();
            // The source is still in the file: the journal shows it again.
            zSources->Close();
            zSources->Open();
            throw;
        }
    };
    zSources->OnDeleteError = [this](db::TDataSet*, db::EDatabaseError&, db::TDataAction&) {
        if (std::exchange(FOwnDeleteTransaction, false)) zServer->Rollback();
    };
    zOpisi->BeforePost = [this](db::TDataSet* d) { NumberAndYear(d, jOpisi, "reg_date"); };
    zOpisi->AfterScroll = [this](db::TDataSet* d) { OpisiAfterScroll(d); };
    zTransfer->BeforePost = [this](db::TDataSet* d) {
        NumberAndYear(d, jTransfer, "receipt_date");
        if (d->FieldByName("units_count")->IsNull()) d->FieldByName("units_count")->SetAsInteger(0);
    };
    zLosses->BeforePost = [this](db::TDataSet* d) { NumberAndYear(d, jLosses, "reg_date"); };
    zEvents->BeforePost = [this](db::TDataSet* d) { NumberAndYear(d, jEvents, "date_held"); };
    zChanges->BeforePost = [this](db::TDataSet* d) {
        // The source is renumbered after the post; without one that would fail on a saved row.
        if (IntOrZero(d->FieldByName("source_id")) <= 0)
            throw db::EDatabaseError(rtl::UTF8ToAnsi(u8"Не указан источник комплектования"));
        NumberAndYear(d, jChanges, "epmk_date");
    };
    zChanges->AfterPost = [this](db::TDataSet* d) { ChangeAfterPost(d); };
    zNomenclature->BeforePost = [this](db::TDataSet* d) { NumberAndYear(d, jNomenclature, "reg_date"); };
    zDocsApp->BeforePost = [this](db::TDataSet* d) { NumberAndYear(d, jDocsApproval, "reg_date"); };
    zOther->BeforePost = [this](db::TDataSet* d) { NumberAndYear(d, jDocsOther, "reg_date"); };
    for (VUdeVizov* q : {zOpisi.get(), zEvents.get(), zLosses.get(), zDocsApp.get(), zOther.get()}) {
        q->BeforeDelete = [this](db::TDataSet* d) { EntryBeforeDelete(d); };
        q->AfterDelete = [this](db::TDataSet* d) { EntryAfterDelete(d); };
    }
    zPassport->OnNewRecord = [this](db::TDataSet* d) { d->Fields()[1]->SetAsInteger(FYear > 0 ? FYear : ThisYear); };
    zOpisFond->OnNewRecord = [this](db::TDataSet* d) { d->Fields()[1]->SetAsInteger(FSource); };
    zUsers->BeforeDelete = [](db::TDataSet*) {};
}

void TDBMod::SourceAfterPost(db::TDataSet* DataSet) {
    if (FSource == 0) SetSource(DataSet->Fields()[0]->AsInteger());
    if (zLSources->Active()) zLSources->Refresh();
}

void TDBMod::SourceBeforeDelete(db::TDataSet* DataSet) {
    static const char* const Tables[] = {"opisi",      "passport",      "transfer", "losses",  "events",
                                         "docs_other", "docs_approval", "renames",  "changes", "nomenclature"};
    const int32_t id = DataSet->Fields()[0]->AsInteger();
    // The documents and the source go together or not at all: the transaction is committed after
    // the source's own row is deleted, and rolled back when anything before fails.
    if (!zServer->InTransaction()) {
        zServer->StartTransaction();
        FOwnDeleteTransaction = true;
    }
    try {
        int step = 0;
        for (const char* table : Tables) {
            if (OnDeleteSourceStep) OnDeleteSourceStep(step++);
            zServer->ExecSQL(AnsiString("DELETE FROM ") + table + " WHERE source_id = :ID", {rtl::Variant(id)});
        }
    } catch (...) {
        if (std::exchange(FOwnDeleteTransaction, false)) zServer->Rollback();
        throw;
    }
}

void TDBMod::ChangeAfterPost(db::TDataSet* DataSet) {
    const int32_t kind = IntOrZero(DataSet->FieldByName("decision")) == 1 ? 1 : 4;
    const int32_t num = NextNumber(jSources, kind);
    zServer->ExecSQL(
        "UPDATE sources SET sourcekind_id = :K, num = :N WHERE id = :S",
        {rtl::Variant(kind), rtl::Variant(num), rtl::Variant(DataSet->FieldByName("source_id")->AsInteger())});
}

void TDBMod::OpisiAfterScroll(db::TDataSet* DataSet) {
    db::TField* result = DataSet->FindField("result_id");
    const bool approved = result && !DataSet->IsEmpty() && IntOrZero(result) == 1;
    zOpisi->SetReadOnly(approved && CurrentUser.Access == alCurator);
}

// ---------------------------------------------------------------------------------------------
// New rows

namespace {
void SetIfPositive(db::TDataSet* DataSet, const char* Field, int32_t Value) {
    if (Value > 0) DataSet->FieldByName(Field)->SetAsInteger(Value);
}
}  // namespace

void TDBMod::NewSource(int32_t Kind) {
    zSources->Append();
    zSources->Fields()[1]->SetAsInteger(Kind > 0 ? Kind : 1);
    zSources->Fields()[3]->SetAsString("");
    if (Kind == 3) {
        zSources->FieldByName("ownership")->SetAsInteger(4);
        zSources->FieldByName("form_recieve")->SetAsInteger(2);
    }
    if (CurrentUser.Access == alCurator) zSources->FieldByName("curator_id")->SetAsInteger(CurrentUser.Id);
}

void TDBMod::NewOpis(int32_t /*KindCode*/, int32_t SourceId) {
    zOpisi->SetReadOnly(false);
    zOpisi->Append();
    zOpisi->FieldByName("reg_date")->SetAsDateTime(TodayDate);
    zOpisi->FieldByName("kind_id")->SetAsInteger(FKind);
    SetIfPositive(zOpisi.get(), "source_id", SourceId);
}

void TDBMod::NewTransfer(int32_t SourceId, bool Described) {
    zTransfer->Append();
    zTransfer->FieldByName("receipt_date")->SetAsDateTime(TodayDate);
    zTransfer->FieldByName("kind_id")->SetAsInteger(FKind);
    zTransfer->FieldByName("source_id")->SetAsInteger(SourceId);
    zTransfer->FieldByName("is_described")->SetAsInteger(Described ? 1 : 0);
}

void TDBMod::NewLoss(int32_t SourceId) {
    zLosses->Append();
    zLosses->FieldByName("reg_date")->SetAsDateTime(TodayDate);
    zLosses->FieldByName("kind_id")->SetAsInteger(0);
    SetIfPositive(zLosses.get(), "source_id", SourceId);
}

void TDBMod::NewEvent(int32_t SourceId) {
    zEvents->Append();
    zEvents->FieldByName("curator_id")->SetAsInteger(CurrentUser.Id);
    zEvents->FieldByName("kind_id")->SetAsInteger(FKind);
    SetIfPositive(zEvents.get(), "source_id", SourceId);
}

void TDBMod::NewNomenclature(int32_t SourceId) {
    zNomenclature->Append();
    zNomenclature->FieldByName("reg_date")->SetAsDateTime(TodayDate);
    SetIfPositive(zNomenclature.get(), "source_id", SourceId);
}

void TDBMod::NewChange(int32_t Decision, int32_t SourceId) {
    if (!zChanges->Active()) zChanges->Open();
    zChanges->Append();
    zChanges->FieldByName("epmk_date")->SetAsDateTime(TodayDate);
    SetIfPositive(zChanges.get(), "decision", Decision);
    SetIfPositive(zChanges.get(), "source_id", SourceId);
}

void TDBMod::NewDocApproval(int32_t SourceId) {
    zDocsApp->Append();
    zDocsApp->FieldByName("reg_date")->SetAsDateTime(TodayDate);
    zDocsApp->FieldByName("kind_id")->SetAsInteger(FKind);
    SetIfPositive(zDocsApp.get(), "source_id", SourceId);
}

void TDBMod::NewDocOther(int32_t SourceId) {
    zOther->Append();
    zOther->FieldByName("reg_date")->SetAsDateTime(TodayDate);
    zOther->FieldByName("kind_id")->SetAsInteger(FKind);
    SetIfPositive(zOther.get(), "source_id", SourceId);
}

void TDBMod::NewPassport(int32_t Year, bool Copy) {
    const int count = zPassport->FieldCount();
    std::vector<rtl::Variant> values;
    if (Copy && !zPassport->IsEmpty())
        for (int i = 1; i < count - 1; ++i) values.push_back(zPassport->Fields()[i]->Value());
    zPassport->Append();
    if (!values.empty()) {
        for (int i = 1; i < count - 1; ++i) zPassport->Fields()[i]->SetValue(values[i - 1]);
    } else {
        for (int i = 12; i <= 15 && i < count; ++i) zPassport->Fields()[i]->SetAsInteger(0);
    }
    zPassport->Fields()[1]->SetAsInteger(Year);
}

void TDBMod::NewUser() {
    zUsers->Append();
    zUsers->Fields()[1]->SetAsString(rtl::UTF8ToAnsi(u8"Новый пользователь"));
    zUsers->Fields()[3]->SetAsInteger(1);
    zUsers->Fields()[4]->SetAsInteger(1);
}

// ---------------------------------------------------------------------------------------------
// Lists and texts

void TDBMod::LinkOpisToTransfer(int32_t OpisId, int32_t TransferId) {
    zServer->ExecSQL("INSERT INTO opis_transfered (opis_id, transfer_id) VALUES (:O, :T)",
                     {rtl::Variant(OpisId), rtl::Variant(TransferId)});
}

void TDBMod::GetTransferOpisIds(AnsiString& Ids) {
    Ids.clear();
    rtl::TOwnedPtr<VUdeVizov> q = TaskQuery("SELECT * FROM opis_transfered WHERE transfer_id = :T");
    q->Params()->Items(0)->SetAsInteger(zTransfer->FieldByName("id")->AsInteger());
    q->Open();
    for (q->First(); !q->Eof(); q->Next()) {
        if (!Ids.empty()) Ids += ", ";
        Ids += std::to_string(q->Fields()[1]->AsInteger());
    }
}

void TDBMod::GetRubricText(AnsiString& Text) {
    Text.clear();
    db::TField* rubric = zSources->FieldByName("rubric_id");
    // No rubric is no rubric, not a broken condition.
    if (rubric->IsNull()) return;
    zBranches->SetFilterSQL("id = " + std::to_string(rubric->AsInteger()));
    zBranches->Open();
    rtl::TryFinally(
        [&] {
            if (zBranches->RecordCount() == 1)
                Text = zBranches->Fields()[3]->AsString() + ". " + zBranches->Fields()[1]->AsString();
        },
        [&] { zBranches->Close(); });
}

void TDBMod::LoadNameList(int TableIndex, const AnsiString& Condition, std::vector<AnsiString>& Names,
                          std::vector<int32_t>& Ids) {
    const AnsiString t = NameListTables[TableIndex];
    AnsiString sql = "SELECT user_id, " + t + "_name FROM v_" + t;
    if (!Condition.empty()) sql += " WHERE " + Condition;
    rtl::TOwnedPtr<VUdeVizov> q = TaskQuery(sql);
    q->Open();
    for (q->First(); !q->Eof(); q->Next()) {
        Names.push_back(q->Fields()[1]->AsString());
        Ids.push_back(q->Fields()[0]->AsInteger());
    }
}

void TDBMod::LoadDocKinds(std::vector<AnsiString>& Names, std::vector<int32_t>& Ids) {
    if (!zDocKind->Active()) zDocKind->Open();
    for (zDocKind->First(); !zDocKind->Eof(); zDocKind->Next()) {
        Ids.push_back(zDocKind->Fields()[0]->AsInteger());
        Names.push_back(zDocKind->Fields()[1]->AsString());
    }
}

// ---------------------------------------------------------------------------------------------
// Login

bool TDBMod::CheckLogin(const AnsiString& Name, const AnsiString& Password) {
    // The name is bound, never spliced into the text.
    rtl::TOwnedPtr<VUdeVizov> q = TaskQuery("SELECT * FROM v_user WHERE user_name = :name");
    q->Params()->Items(0)->SetAsString(Name);
    q->Open();
    if (q->RecordCount() != 1) return false;
    const AnsiString stored = q->Fields()[2]->IsNull() ? AnsiString() : q->Fields()[2]->AsString();
    // A disabled user is refused like a wrong password.
    if (stored != Password || IntOrZero(q->Fields()[4]) != 1) return false;
    CurrentUser.Id = q->Fields()[0]->AsInteger();
    CurrentUser.Name = q->Fields()[1]->AsString();
    CurrentUser.Access = static_cast<uint16_t>(IntOrZero(q->Fields()[3]));
    return true;
}

}  // namespace app

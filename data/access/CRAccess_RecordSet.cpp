// The provider record set: a record store that fills itself from a command a block at a time,
// with on-demand conversion of mapped columns and decryption of encrypted ones.
#include <cstring>

#include "data/access/CRAccess.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

using namespace store;

namespace {

bool IsSizedTextOrBytes(TMemDataType t) {
    return t == mdtString || t == mdtExtString || t == mdtBytes || t == mdtVarBytes || t == mdtExtVarBytes ||
           t == mdtWideString || t == mdtExtWideString;
}

// Whether the rule asks for exactly what the column already is.
bool RuleDescribesColumn(const TCRMapRule* Rule, const TFieldDesc* Field) {
    if (Rule->DataType() != Field->DataType) return false;
    if (IsSizedTextOrBytes(Field->DataType)) return Rule->FieldLength() == -1 || Rule->FieldLength() == Field->Length;
    if (Field->DataType == mdtBCD || Field->DataType == mdtFmtBCD)
        return (Rule->FieldLength() == -1 || Rule->FieldLength() == Field->Length) &&
               (Rule->FieldScale() == -1 || Rule->FieldScale() == Field->Scale);
    return true;
}

void* ReadPointer(const void* Address) {
    void* p;
    std::memcpy(&p, Address, sizeof(p));
    return p;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCRFieldDesc

void TCRFieldDesc::Assign(const TFieldDesc& Source) {
    auto* src = dynamic_cast<const TCRFieldDesc*>(&Source);
    if (!src) rtl::AssertFail(SAssertionFailure, CRAccessUnit, __LINE__);
    TFieldDesc::Assign(Source);
    DBType = src->DBType;
    DBLength = src->DBLength;
    DBScale = src->DBScale;
    MapRule = src->MapRule;
    MapLength = src->MapLength;
    MapScale = src->MapScale;
    OnDemandConverter = src->OnDemandConverter;
}

AnsiString TCRFieldDesc::ActualNameAnsi() const { return rtl::WideToAnsi(ColumnName.empty() ? Name : ColumnName); }

AnsiString TCRFieldDesc::QuotedName(const TSQLInfo* SQLInfo, int Mode) {
    const int slot = Mode == 0 ? 0 : 1;
    if (FQuotedNameKnown[slot]) return FQuotedNames[slot];
    const AnsiString actual = ActualNameAnsi();
    AnsiString result = (Mode != 0 || SQLInfo->QuotesNeeded(actual)) ? SQLInfo->QuoteName(actual) : actual;
    FQuotedNames[slot] = result;
    FQuotedNameKnown[slot] = true;
    return result;
}

// ---------------------------------------------------------------------------------------------
// TCRRecordSet: construction

TCRRecordSet::TCRRecordSet() = default;

void TCRRecordSet::AfterConstruction() {
    rtl::TObject::AfterConstruction();
    CreateCommand();
    if (!FCommand) rtl::AssertFail(SAssertionFailure, CRAccessUnit, __LINE__);
    FTablesInfo.reset(rtl::Create<TCRTablesInfo>(FCommand->CommandClass().GetTableInfoClass()));
    FMapRules.reset(FCommand->CommandClass().GetMapRulesClass().Create());
    FLongStrings = true;
    FFlatBuffers = true;
}

TCRRecordSet::~TCRRecordSet() {
    TCRCommand* command = FCommand;
    FCommand = nullptr;
    rtl::TObject::Free(command);
    FMapRules.reset();
    FTablesInfo.reset();
}

void TCRRecordSet::SetCommand(TCRCommand* Value) { FCommand = Value; }

void TCRRecordSet::SetComponent(rtl::TComponent* Value) {
    if (FCommand) FCommand->SetComponent(Value);
}

TCRFieldDesc* TCRRecordSet::CRField(const TFieldDesc* Field) const {
    return const_cast<TCRFieldDesc*>(dynamic_cast<const TCRFieldDesc*>(Field));
}

// ---------------------------------------------------------------------------------------------
// Store operations

void TCRRecordSet::DoPrepare() { FCommand->Prepare(); }

void TCRRecordSet::DoUnprepare() { FCommand->Unprepare(); }

void TCRRecordSet::DoOpen(int Flag) {
    FPartlyUsedBlock = false;
    TMemData::DoOpen(Flag);
    FEof = false;
    try {
        InternalOpen(Flag != 0);
    } catch (...) {
        if (!FPrepared) DoUnprepare();
        if (FCommand->GetCursorState() == csExecuting) FCommand->SetCursorState(csInactive);
        throw;
    }
}

void TCRRecordSet::DoClose() {
    FPartlyUsedBlock = false;
    TMemData::DoClose();
}

bool TCRRecordSet::NeedConvertEOL() const {
    return FCommand && FCommand->GetConnection() && FCommand->GetConnection()->ConvertEOL();
}

void TCRRecordSet::Prepare() {
    if (FPrepared) return;
    TMemData::Prepare();
    if (!ReturnsRows()) return;
    try {
        InitFields();
    } catch (...) {
        FPrepared = false;
        DoUnprepare();
        throw;
    }
}

void TCRRecordSet::Unprepare() {
    rtl::TryFinally([&] { TMemData::Unprepare(); }, [&] { FTablesInfo->Clear(); });
}

void TCRRecordSet::UnprepareFields() {
    DoUnprepare();
    FPrepared = false;
}

void TCRRecordSet::InitFields() {
    TMemData::InitFields();
    if (FMapRules->Enabled()) {
        for (const auto& desc : FFields) {
            TCRFieldDesc* f = CRField(desc.get());
            if (!f) continue;
            f->MapRule = nullptr;
            f->OnDemandConverter = nullptr;
            TCRMapRule* rule = nullptr;
            TOnDemandConverter* conv =
                GetMapOnDemandConverter(f->ActualNameAnsi(), f->DataType, rule, f->DBLength, f->DBScale, f->DBType);
            if (!rule || RuleDescribesColumn(rule, f)) continue;
            f->MapRule = rule;
            if (!conv) continue;  // the dataset reports the unsupported mapping
            f->OnDemandConverter = conv;
            if (rule->FieldLength() >= 0)
                f->MapLength = rule->FieldLength();
            else if (conv->CalcLength)
                f->MapLength = conv->CalcLength(f->Length);
            else if (IsSizedTextOrBytes(conv->DestDataType))
                f->MapLength = 20;
            else
                f->MapLength = f->Length;
            if (rule->FieldScale() >= 0)
                f->MapScale = rule->FieldScale();
            else if (conv->CalcScale)
                f->MapScale = conv->CalcScale(f->Scale);
            else
                f->MapScale = f->Scale;
        }
    }
    if (FEncryptor && !FEncryptedFields.empty()) {
        for (const auto& desc : FFields) {
            TCRFieldDesc* f = CRField(desc.get());
            if (!f || !IsEncryptedField(rtl::WideToAnsi(f->Name))) continue;
            if (f->DescKind != fdkData || f->HasParent() || !IsEncryptableDataType(f->DataType)) {
                TDBTypeInfo* info = DBTypeInfos().FindTypeInfo(f->DBType);
                const AnsiString typeName = info ? info->Name : rtl::IntToStr(f->DataType);
                throw rtl::Exception(rtl::Format(SDataTypeCannotBeEncrypted, {typeName}));
            }
            f->Encryptor = FEncryptor;
        }
    }
}

void TCRRecordSet::GetFieldData(const TFieldDesc* Field, const void* Source, void* Dest) {
    TMemData::GetFieldData(Field, Source, Dest);
}

void TCRRecordSet::PutFieldData(const TFieldDesc* Field, void* Dest, const void* Source, bool NoRound) {
    TMemData::PutFieldData(Field, Dest, Source, NoRound);
}

void TCRRecordSet::GetFieldData(const TFieldDesc* Field, const void* Source, void* Dest, bool NeedConvert) {
    TCRFieldDesc* f = CRField(Field);
    if (!NeedConvert || !f || !f->OnDemandConverter || !f->OnDemandConverter->GetConverter) {
        TMemData::GetFieldData(Field, Source, Dest);
        return;
    }
    try {
        uint8_t temp[8] = {};
        const void* src = Source;
        switch (f->DataType) {
            case mdtDate:
                GetDateFromBuf(Source, f, dkDate, temp);
                src = temp;
                break;
            case mdtTime:
                GetDateFromBuf(Source, f, dkTime, temp);
                src = temp;
                break;
            case mdtDateTime:
                GetDateFromBuf(Source, f, dkMSecs, temp);
                src = temp;
                break;
            default: break;
        }
        f->OnDemandConverter->GetConverter(&FStringHeap, src, f->Length, f->Scale, Dest, f->MapLength, f->MapScale,
                                           f->MapRule && f->MapRule->IgnoreErrors());
    } catch (const rtl::Exception& e) {
        e.CloneWithMessage(SFieldPrefix + rtl::WideToAnsi(f->Name) + "\r\n" + e.Message())->Raise();
    }
}

void TCRRecordSet::PutFieldData(const TFieldDesc* Field, void* Dest, const void* Source, bool NoRound,
                                bool NeedConvert) {
    TCRFieldDesc* f = CRField(Field);
    if (!NeedConvert || !f || !f->OnDemandConverter || !f->OnDemandConverter->PutConverter) {
        TMemData::PutFieldData(Field, Dest, Source, NoRound);
        return;
    }
    try {
        const bool ignore = f->MapRule && f->MapRule->IgnoreErrors();
        int kind = -1;
        switch (f->DataType) {
            case mdtDate: kind = dkDate; break;
            case mdtTime: kind = dkTime; break;
            case mdtDateTime: kind = dkMSecs; break;
            default: break;
        }
        if (kind < 0) {
            f->OnDemandConverter->PutConverter(&FStringHeap, Source, f->MapLength, f->MapScale, Dest, f->Length,
                                               f->Scale, ignore);
        } else {
            uint8_t temp[8] = {};
            f->OnDemandConverter->PutConverter(&FStringHeap, Source, f->MapLength, f->MapScale, temp, f->Length,
                                               f->Scale, ignore);
            PutDateToBuf(Dest, f, kind, temp);
        }
    } catch (const rtl::Exception& e) {
        e.CloneWithMessage(SFieldPrefix + rtl::WideToAnsi(f->Name) + "\r\n" + e.Message())->Raise();
    }
}

// ---------------------------------------------------------------------------------------------
// Navigation with fetching

void TCRRecordSet::GetNextRecord(void* RecBuf) {
    if (GetEof()) return;
    auto endOfData = [this] {
        FCurrentItem = nullptr;
        FEof = true;
    };
    TRecordItem* cur;
    if (!FFirstItem) {
        if (!FetchNext(0) || !FFirstItem) {
            endOfData();
            return;
        }
        cur = FFirstItem;
    } else {
        cur = FCurrentItem ? FCurrentItem->Next : FFirstItem;
    }
    for (;;) {
        while (!cur) {
            TRecordItem* last = FLastItem;
            if (!FetchNext(0)) {
                endOfData();
                return;
            }
            if (FUniDirectional || CanFetchBack()) {
                if (FFirstItem) FFirstItem->Prev = nullptr;
                if (FLastItem) FLastItem->Next = nullptr;
            }
            // A forward-only store may have dropped the rows before the new block.
            cur = (!last || FUniDirectional) ? FFirstItem : last->Next;
        }
        if (!IsItemHidden(cur)) break;
        cur = cur->Next;
    }
    FCurrentItem = cur;
    FBof = false;
    FEof = false;
    if (RecBuf) GetRecord(RecBuf);
}

void TCRRecordSet::GetPriorRecord(void* RecBuf) {
    if (FUniDirectional) {
        FBof = true;
        FCurrentItem = nullptr;
        return;
    }
    if (!CanFetchBack()) {
        TMemData::GetPriorRecord(RecBuf);
        return;
    }
    if (GetBof()) return;
    auto beginOfData = [this] {
        FCurrentItem = nullptr;
        FBof = true;
    };
    TRecordItem* cur;
    if (!FLastItem) {
        if (!FetchNext(1) || !FLastItem) {
            beginOfData();
            return;
        }
        cur = FLastItem;
    } else {
        cur = FCurrentItem ? FCurrentItem->Prev : FLastItem;
    }
    for (;;) {
        while (!cur) {
            TRecordItem* first = FFirstItem;
            if (!FetchNext(1)) {
                beginOfData();
                return;
            }
            if (FFirstItem) FFirstItem->Prev = nullptr;
            if (FLastItem) FLastItem->Next = nullptr;
            cur = first ? first->Prev : FLastItem;
        }
        if (!IsItemHidden(cur)) break;
        cur = cur->Prev;
    }
    FCurrentItem = cur;
    FBof = false;
    FEof = false;
    if (RecBuf) GetRecord(RecBuf);
}

bool TCRRecordSet::FilterUpdated() {
    TMemData::FilterUpdated();
    const bool ended = !FCommand || FCommand->GetCursorState() == csInactive || FCommand->GetCursorState() == csFetched;
    FEof = FEof && ended;
    return FEof;
}

void TCRRecordSet::InitSortColumn(TSortColumn& Column) {
    TMemData::InitSortColumn(Column);
    if (FCommand && FCommand->GetConnection())
        Column.SortType = static_cast<TSortType>(FCommand->GetConnection()->DefaultSortType());
}

void TCRRecordSet::SortItems() {
    if (!FSortColumns.empty()) FetchAll();
    TMemData::SortItems();
}

// ---------------------------------------------------------------------------------------------
// Opening and fetching

void TCRRecordSet::InternalOpen(bool DisableInitFields) {
    ExecCommand();
    if (!DisableInitFields && (!FPrepared || FFields.Count() == 0 || NeedReinitFields())) InitFields();
    if (FFetchAll)
        FetchAll();
    else
        FetchNext(0);
}

void TCRRecordSet::ExecCommand() {
    FCommand->Execute(1);
    FWaitForBreak = false;
}

void TCRRecordSet::FetchAll() {
    while (FetchNext(0)) {
    }
}

bool TCRRecordSet::IsFetchEnded() {
    if (!FCommand) rtl::AssertFail(SAssertionFailure, CRAccessUnit, __LINE__);
    const uint8_t state = FCommand->GetCursorState();
    return state == csInactive || state == csFetched;
}

void TCRRecordSet::DoBeforeFetch(bool& Cancel) {
    Cancel = FWaitForBreak;
    if (OnBeforeFetch) OnBeforeFetch(Cancel);
    if (Cancel && FCommand->GetCursorState() == csFetchingAll) FCommand->SetCursorState(csFetching);
}

void TCRRecordSet::DoAfterFetch() {
    if (OnAfterFetch) OnAfterFetch();
}

void TCRRecordSet::FetchBlock(TItemBlock* Block, int FetchedRows, bool FetchBack) {
    const int n = FetchedRows;
    for (int i = 0; i < n; ++i) {
        TRecordItem* item = FBlockMan.BlockItem(Block, i);
        item->Block = Block;
        item->CheckByte = ItemCheckUsed;
        item->Rollback = nullptr;
        item->Status = isUnmodified;
        item->UpdateResult = urNone;
        item->FilterState = fsNotChecked;
    }
    if (n > 0) {
        if (!FetchBack) {
            for (int i = 0; i < n; ++i) {
                TRecordItem* item = FBlockMan.BlockItem(Block, i);
                item->Prev = FLastItem;
                item->Next = nullptr;
                item->Order = FLastItem ? FLastItem->Order + 1 : 1;
                if (FLastItem) FLastItem->Next = item;
                FLastItem = item;
                if (!FFirstItem) FFirstItem = item;
            }
        } else {
            for (int i = n - 1; i >= 0; --i) {
                TRecordItem* item = FBlockMan.BlockItem(Block, i);
                item->Next = FFirstItem;
                item->Prev = nullptr;
                item->Order = FFirstItem ? FFirstItem->Order - 1 : FRecordCount;
                if (FFirstItem) FFirstItem->Prev = item;
                FFirstItem = item;
                if (!FLastItem) FLastItem = item;
            }
        }
        FFirstItem->Prev = nullptr;
        FLastItem->Next = nullptr;
        ClearRecordNoCache();
        CalcRecords(FBlockMan.BlockItem(Block, 0), FBlockMan.BlockItem(Block, n - 1));
        ProcessFetchedBlock(Block, n, FetchBack);
    }
    if (Block->ItemCount > n) {
        if (!FetchBack) FPartlyUsedBlock = true;
        for (int i = n; i < Block->ItemCount; ++i) {
            TRecordItem* item = FBlockMan.BlockItem(Block, i);
            item->Block = Block;
            if (FHasComplexFields) FreeComplexFields(TBlockManager::RecordOf(item), true);
            item->Status = isUnmodified;
            item->UpdateResult = urNone;
            item->Rollback = nullptr;
            FBlockMan.AddFreeItem(item);
        }
    }
    Block->UsedCount = static_cast<uint16_t>(n);
    if (FEncryptor)
        for (int i = 0; i < n; ++i) DecryptRecord(FBlockMan.BlockItem(Block, i));
}

void TCRRecordSet::ProcessFetchedBlock(TItemBlock* Block, int FetchedRows, bool FetchBack) {
    if (FetchedRows <= 0) return;
    if (HasFilter() && !FFetchAll) {
        TRecordItem* first = FBlockMan.BlockItem(Block, FetchBack ? FetchedRows - 1 : 0);
        RenumberItems(first, FPartlyUsedBlock, FetchBack);
    } else if (!FetchBack && !FPartlyUsedBlock) {
        FRecordCount += FetchedRows;
    }
}

// Decrypts in place every encrypted field of a fetched record that is not null; a value that
// fails to decrypt, or decrypts to nothing, becomes null. A type that cannot be encrypted raises.
void TCRRecordSet::DecryptRecord(TRecordItem* Item) {
    if (!FEncryptor) return;
    void* rec = TBlockManager::RecordOf(Item);
    for (const auto& desc : FFields) {
        TCRFieldDesc* f = CRField(desc.get());
        if (!f || !f->Encryptor || !IsRecordSlot(f)) continue;
        if (GetNull(f->FieldNo, rec)) continue;
        uint8_t* slot = Slot(rec, f);
        TCRFieldEncryptor* enc = f->Encryptor;
        bool becameNull = false;
        auto decrypt = [&](void* data, int& length, int kind) {
            if (length == 0) return;
            if (!enc->DecryptValue(data, length, kind) || length == 0) {
                length = 0;
                becameNull = true;
            }
        };
        switch (MapEncryptedDataType(f->DataType)) {
            case mdtString:
            case mdtExtString: {
                char* text =
                    f->DataType == mdtString ? reinterpret_cast<char*>(slot) : static_cast<char*>(ReadPointer(slot));
                if (!text) break;
                int length = static_cast<int>(strnlen(text, f->DataType == mdtString ? f->Length : SIZE_MAX));
                decrypt(text, length, ekAnsiString);
                text[length] = 0;
                break;
            }
            case mdtBytes: {
                int length = f->Length;
                decrypt(slot, length, ekBytes);
                break;
            }
            case mdtVarBytes:
            case mdtExtVarBytes: {
                uint8_t* data = f->DataType == mdtVarBytes ? slot : static_cast<uint8_t*>(ReadPointer(slot));
                if (!data) break;
                uint16_t len16;
                std::memcpy(&len16, data, 2);
                int length = len16;
                decrypt(data + 2, length, ekBytes);
                len16 = static_cast<uint16_t>(length);
                std::memcpy(data, &len16, 2);
                break;
            }
            case mdtWideString:
            case mdtExtWideString: {
                auto* text = f->DataType == mdtWideString ? reinterpret_cast<char16_t*>(slot)
                                                          : static_cast<char16_t*>(ReadPointer(slot));
                if (!text) break;
                int chars = 0;
                while (text[chars] && (f->DataType != mdtWideString || chars < f->Length)) ++chars;
                int length = chars * 2;
                decrypt(text, length, ekWideString);
                text[length / 2] = 0;
                break;
            }
            case mdtBlob:
            case mdtMemo:
            case mdtWideMemo: {
                auto* blob = static_cast<TBlob*>(ReadPointer(slot));
                if (!blob) break;
                if (f->DataType == mdtBlob || !blob->IsUnicode()) {
                    rtl::TBytes bytes = blob->GetAsBytes();
                    int length = static_cast<int>(bytes.size());
                    decrypt(bytes.data(), length, f->DataType == mdtBlob ? ekBlob : ekAnsiString);
                    bytes.resize(static_cast<size_t>(length));
                    if (bytes.empty())
                        blob->Clear();
                    else
                        blob->SetAsBytes(bytes);
                } else {
                    WideString text = blob->GetAsWideString();
                    int length = static_cast<int>(text.size() * 2);
                    decrypt(text.data(), length, ekWideString);
                    text.resize(static_cast<size_t>(length / 2));
                    if (text.empty())
                        blob->Clear();
                    else
                        blob->SetAsWideString(text);
                }
                break;
            }
            default: throw rtl::Exception(rtl::Format(SDataTypeCannotBeEncrypted, {rtl::IntToStr(f->DataType)}));
        }
        if (becameNull) SetNull(f->FieldNo, rec, true);
    }
}

// ---------------------------------------------------------------------------------------------
// Settings

void TCRRecordSet::SetConnection(TCRConnection* Value) { FCommand->SetConnection(Value); }

void TCRRecordSet::SetTransaction(TCRTransaction* Value) { FCommand->SetTransaction(Value); }

void TCRRecordSet::SetSQL(const AnsiString& Value) { FCommand->SetSQL(Value); }

bool TCRRecordSet::SetProp(int Prop, const Variant& Value) {
    switch (Prop) {
        case pidUniDirectional:
            FUniDirectional = Value.AsBoolean();
            if (FUniDirectional) FFetchAll = false;
            break;
        case pidFetchRows: FFetchRows = Value.AsInteger(); break;
        case pidFetchAll:
            if (!FLockFetchAll) FFetchAll = Value.AsBoolean() && !FUniDirectional;
            break;
        case pidLongStrings: FLongStrings = Value.AsBoolean(); break;
        case pidFlatBuffers: FFlatBuffers = Value.AsBoolean(); break;
        case pidIndexFieldNames: SetIndexFieldNames(Value.AsAnsiString()); break;
        case pidCompressBlobMode: FCommand->SetCompressBlobMode(Value.AsInteger()); break;
        case pidReadOnly:
        case pidRefreshAfterUpdate: break;
        case pidLockFetchAll: FLockFetchAll = Value.AsBoolean(); break;
        case pidExtendedFieldsInfo: FExtendedFieldsInfo = Value.AsBoolean(); break;
        case pidDefaultValues: FDefaultValues = Value.AsBoolean(); break;
        case pidFieldsOrigin: FFieldsOrigin = Value.AsBoolean(); break;
        case pidEncryptedFields: FEncryptedFields = Value.AsAnsiString(); break;
        default: PropertyIdFault(Prop);
    }
    return true;
}

bool TCRRecordSet::GetProp(int Prop, Variant& Value) {
    switch (Prop) {
        case pidFetchAll: Value = FFetchAll; break;
        case pidExtendedFieldsInfo: Value = FExtendedFieldsInfo; break;
        case pidDefaultValues: Value = FDefaultValues; break;
        case pidFieldsOrigin: Value = FFieldsOrigin; break;
        default: PropertyIdFault(Prop);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Mapping and encryption

TCRMapRule* TCRRecordSet::FindMapRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLength, int32_t DBScale) {
    TCRConnection* connection = FCommand ? FCommand->GetConnection() : nullptr;
    TCRMapRules* connRules = connection ? connection->MapRules() : nullptr;
    if (TCRMapRule* rule = FMapRules->FindRuleByName(FieldName, DBType, DBLength, DBScale)) return rule;
    if (connRules)
        if (TCRMapRule* rule = connRules->FindRuleByName(FieldName, DBType, DBLength, DBScale)) return rule;
    if (TCRMapRule* rule = FMapRules->FindRuleByType(DBType, DBLength, DBScale)) return rule;
    if (connRules) return connRules->FindRuleByType(DBType, DBLength, DBScale);
    return nullptr;
}

TOnDemandConverter* TCRRecordSet::GetMapOnDemandConverter(const AnsiString& FieldName, TMemDataType DataType,
                                                          TCRMapRule*& MapRule, int32_t DBLength, int32_t DBScale,
                                                          uint16_t DBType) {
    MapRule = FindMapRule(FieldName, DBType, DBLength, DBScale);
    if (!MapRule) return nullptr;
    if (MapRule->DataType() == DataType && (MapRule->FieldLength() == -1 || MapRule->FieldLength() == DBLength) &&
        (MapRule->FieldScale() == -1 || MapRule->FieldScale() == DBScale)) {
        MapRule = nullptr;
        return nullptr;
    }
    return FMapRules->ConverterManager()->FindOnDemandConverter(DataType, MapRule->DataType());
}

TFetchConverter* TCRRecordSet::GetFieldConverter(const AnsiString& FieldName, uint16_t DBType, int32_t DBLength,
                                                 int32_t DBScale) {
    if (IsEncryptedField(FieldName)) return nullptr;
    TCRMapRule* rule = FindMapRule(FieldName, DBType, DBLength, DBScale);
    if (!rule) return nullptr;
    return FMapRules->ConverterManager()->FindFetchConverter(DBType, DBLength, DBScale, rule->DataType());
}

bool TCRRecordSet::IsEncryptableDataType(TMemDataType DataType) {
    switch (DataType) {
        case mdtString:
        case mdtBlob:
        case mdtMemo:
        case mdtExtString:
        case mdtVarBytes:
        case mdtExtVarBytes:
        case mdtWideString:
        case mdtExtWideString:
        case mdtWideMemo: return true;
        default: return false;
    }
}

bool TCRRecordSet::IsEncryptedField(const AnsiString& FieldName) {
    if (FEncryptedFields.empty()) return false;
    rtl::TOwnedPtr<rtl::TStringList> names(rtl::Create<rtl::TStringList>());
    FCommand->SQLInfo()->NamesToList(FEncryptedFields, names.get());
    return names->IndexOf(FieldName) >= 0;
}

}  // namespace daccess

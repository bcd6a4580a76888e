// The provider command: statement text, parameter scanning and descriptors, property ids.
#include <cctype>

#include "data/access/CRAccess_Connection.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

namespace {

bool IsWordLexeme(int code, const AnsiString& lexem) {
    if (code <= 0 || lexem.empty()) return false;
    const unsigned char c = static_cast<unsigned char>(lexem[0]);
    return std::isalpha(c) || c == '_' || c >= 128;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Class references

TCRCommand* TCRCommandClass::Create() const { rtl::AbstractError(); }

TSQLInfo* TCRCommandClass::CreateSQLInfo() const { return GetSQLInfoClass().Create(&GetParserClass()); }

const TCRTableInfoClass& TCRCommandClass::GetTableInfoClass() const { return TCRCommand::GetTableInfoClass(); }
const TSQLInfoClass& TCRCommandClass::GetSQLInfoClass() const { return TCRCommand::GetSQLInfoClass(); }
const store::TParserClass& TCRCommandClass::GetParserClass() const { return TCRCommand::GetParserClass(); }
const TCRMapRulesClass& TCRCommandClass::GetMapRulesClass() const { return TCRCommand::GetMapRulesClass(); }
const TParamDescClass& TCRCommandClass::GetParamDescClass() const { return TCRCommand::GetParamDescClass(); }

TParamDesc* TParamDescClass::Create() const { return rtl::Create<TParamDesc>(); }

// ---------------------------------------------------------------------------------------------
// TCRCommand

TCRCommand::TCRCommand() : FParams(rtl::Create<TParamDescs>()) {}

TCRCommand::~TCRCommand() {
    FParams.reset();
    FSQLInfo.reset();
}

const TCRTableInfoClass& TCRCommand::GetTableInfoClass() { return TCRTableInfo::StaticClass(); }
const TSQLInfoClass& TCRCommand::GetSQLInfoClass() { return TSQLInfo::StaticClass(); }
const store::TParserClass& TCRCommand::GetParserClass() {
    rtl::AssertFail(store::SAssertionFailure, CRAccessUnit, __LINE__);
}
const TCRMapRulesClass& TCRCommand::GetMapRulesClass() { return TCRMapRules::StaticClass(); }
const TParamDescClass& TCRCommand::GetParamDescClass() { return TParamDesc::StaticClass(); }

TSQLInfo* TCRCommand::SQLInfo() {
    if (FConnection) return FConnection->SQLInfo();
    if (!FSQLInfo) FSQLInfo.reset(CommandClass().CreateSQLInfo());
    return FSQLInfo.get();
}

void TCRCommand::Prepare() { SetCursorState(csPrepared); }

void TCRCommand::Unprepare() { SetCursorState(csInactive); }

void TCRCommand::SetSQL(const AnsiString& Value) {
    if (Value == FUserSQL) return;
    FUserSQL = Value;
    FSQL = FDisableParamScan ? Value : ParseSQL(Value, FParams.get(), true, "");
}

AnsiString TCRCommand::ParseSQL(const AnsiString& SQL, TParamDescs* Params, bool /*IsScan*/,
                                const AnsiString& RenamePrefix) {
    if (Params) Params->Clear();
    const int len = static_cast<int>(SQL.size());
    store::AnsiStringBuilder builder(len + len / 2);
    rtl::TOwnedPtr<store::TParser> parser(CommandClass().GetParserClass().Create(SQL));
    parser->SetSkipBlanks(false);
    parser->SetSkipComments(true);
    // The parameter name keeps its spelling, and a string after a colon its quotes.
    parser->SetUpperCaseKeywords(false);
    parser->SetKeepStringQuotes(true);
    parser->SetDecSeparator('.');
    TSQLInfo* info = SQLInfo();
    const char left = info->LeftQuote();
    const char right = info->RightQuote();
    int64_t pos = 0;
    while (parser->ScanForWord(":")) {
        const int64_t colon = parser->LastLexemPos();
        builder.Append(SQL.substr(static_cast<size_t>(pos), static_cast<size_t>(colon - pos)));
        ParseSQLParam(builder, parser.get(), Params, left, right, RenamePrefix);
        pos = parser->CurrentPos();
    }
    if (pos < len) builder.Append(SQL.substr(static_cast<size_t>(pos)));
    return builder.GetText();
}

void TCRCommand::ParseSQLParam(store::AnsiStringBuilder& Builder, store::TParser* Parser, TParamDescs* Params,
                               char LeftQuote, char RightQuote, const AnsiString& RenamePrefix) {
    AnsiString st;
    int code = Parser->GetNext(st);
    bool at = false;
    if (st == "@") {
        at = true;
        code = Parser->GetNext(st);
    }
    const bool isName = code == store::lcIdent || code == store::lcNumber || IsWordLexeme(code, st);
    if ((!Params && RenamePrefix.empty()) || !isName) {
        Builder.Append(":");
        if (at) Builder.Append("@");
        Builder.Append(st);
        return;
    }
    AnsiString name = at ? "@" + st : st;
    if (name.size() > 1 && name.front() == LeftQuote && name.back() == RightQuote)
        name = name.substr(1, name.size() - 2);
    if (Params) {
        TParamDesc* param;
        if (Params == FParams.get()) {
            param = AddParam();
        } else {
            param = CommandClass().GetParamDescClass().Create();
            Params->Add(param);
        }
        param->SetName(name);
        Builder.Append("?");
    } else {
        Builder.Append(RenamePrefix + name);
    }
}

TParamDesc* TCRCommand::AddParam() {
    TParamDesc* param = CommandClass().GetParamDescClass().Create();
    FParams->Add(param);
    return param;
}

void TCRCommand::SetCursor(TCRCursor* /*Value*/) { throw rtl::Exception(SOperationNotSupported); }

bool TCRCommand::SetProp(int Prop, const Variant& Value) {
    switch (Prop) {
        case pidAutoCommit: FAutoCommit = Value.AsBoolean(); break;
        case pidScanParams: {
            const bool old = FScanParams;
            FScanParams = Value.AsBoolean();
            if (FScanParams && !old && !FUserSQL.empty()) FSQL = ParseSQL(FUserSQL, FParams.get(), true, "");
            break;
        }
        case pidCompressBlobMode: FCompressBlob = Value.AsInteger(); break;
        case pidDisableParamScan: FDisableParamScan = Value.AsBoolean(); break;
        case pidQuoteNames: FQuoteNames = Value.AsBoolean(); break;
        case pidEnableBCD: FEnableBCD = Value.AsBoolean(); break;
        case pidEnableFMTBCD: FEnableFMTBCD = Value.AsBoolean(); break;
        case pidCommandReserved33:
        case pidHasOutValues:
        case pidIsStoredProc: break;
        default: PropertyIdFault(Prop);
    }
    return true;
}

bool TCRCommand::GetProp(int Prop, Variant& Value) {
    switch (Prop) {
        case pidExecuting: Value = FExecuting; break;
        case pidHasOutValues: Value = true; break;
        case pidRowsAffectedOnOpen:
        case pidDescribesParams: Value = false; break;
        default: PropertyIdFault(Prop);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// TParamDesc

TParamDesc::~TParamDesc() = default;

void TParamDesc::SetValue(const Variant& Value) {
    if (FEncryptor)
        FValue = EncryptValue(Value);
    else
        FValue = Value;
    FIsNull = FValue.IsEmpty() || FValue.IsNull();
}

Variant TParamDesc::EncryptValue(const Variant& Value) const {
    if (Value.IsEmpty() || Value.IsNull()) return Value;
    using namespace store;
    rtl::TBytes bytes;
    AnsiString ansi;
    WideString wide;
    const void* data = nullptr;
    int length = 0;
    int kind = 0;
    switch (FDataType) {
        case mdtString:
        case mdtExtString:
            ansi = Value.AsAnsiString();
            data = ansi.data();
            length = static_cast<int>(ansi.size());
            kind = ekAnsiString;
            break;
        case mdtBlob:
        case mdtMemo:
        case mdtWideMemo:
        case mdtBytes:
        case mdtVarBytes:
        case mdtExtVarBytes:
            if (Value.IsByteArray())
                bytes = Value.AsBytes();
            else {
                ansi = Value.AsAnsiString();
                bytes.assign(ansi.begin(), ansi.end());
            }
            data = bytes.data();
            length = static_cast<int>(bytes.size());
            kind = ekBytes;
            break;
        case mdtWideString:
        case mdtExtWideString:
            wide = Value.AsWideString();
            data = wide.data();
            length = static_cast<int>(wide.size() * 2);
            kind = ekWideString;
            break;
        default: throw rtl::Exception(rtl::Format(SDataTypeCannotBeEncrypted, {rtl::IntToStr(FDataType)}));
    }
    Variant result;
    if (FEncryptor(data, length, kind, result) == 0) {
        // An empty plain value has nothing to hide; anything else must never reach the server
        // unencrypted.
        if (length == 0) return Value;
        throw rtl::Exception(rtl::Format(SCannotEncryptValue, {FName}));
    }
    return result;
}

store::TSharedObject* TParamDesc::GetObject() const {
    if (FValue.IsEmpty() || FValue.IsNull()) return nullptr;
    if (FValue.VType() != varObjectPointer) rtl::AssertFail(store::SAssertionFailure, CRAccessUnit, __LINE__);
    return static_cast<store::TSharedObject*>(FValue.AsPointer());
}

void TParamDesc::SetObject(store::TSharedObject* Value) {
    using namespace store;
    auto* blob = dynamic_cast<TBlob*>(Value);
    if (!FEncryptor || !blob) {
        FValue = Variant::FromPointer(Value);
        return;
    }
    FEncryptedBlob.reset();
    auto copy = rtl::TSharedRef<TBlob>::Adopt(CreateSharedObject<TBlob>(blob->IsUnicode()));
    {
        Variant result;
        switch (FDataType) {
            case mdtBlob: {
                rtl::TBytes plain = blob->GetAsBytes();
                if (FEncryptor(plain.data(), static_cast<int>(plain.size()), ekBytes, result) > 0)
                    copy->SetAsBytes(result.AsBytes());
                else if (!plain.empty())
                    throw rtl::Exception(rtl::Format(SCannotEncryptValue, {FName}));
                break;
            }
            case mdtMemo:
            case mdtWideMemo:
                if (blob->IsUnicode()) {
                    WideString plain = blob->GetAsWideString();
                    if (FEncryptor(plain.data(), static_cast<int>(plain.size() * 2), ekWideString, result) > 0)
                        copy->SetAsWideString(result.AsWideString());
                    else if (!plain.empty())
                        throw rtl::Exception(rtl::Format(SCannotEncryptValue, {FName}));
                } else {
                    AnsiString plain = blob->GetAsAnsiString();
                    if (FEncryptor(plain.data(), static_cast<int>(plain.size()), ekAnsiString, result) > 0)
                        copy->SetAsAnsiString(result.AsAnsiString());
                    else if (!plain.empty())
                        throw rtl::Exception(rtl::Format(SCannotEncryptValue, {FName}));
                }
                break;
            default: throw rtl::Exception(rtl::Format(SDataTypeCannotBeEncrypted, {rtl::IntToStr(FDataType)}));
        }
    }
    FValue = Variant::FromPointer(copy.get());
    FEncryptedBlob = std::move(copy);
}

void TParamDesc::SetNull(bool Value) {
    FIsNull = Value;
    if (Value && FValue.VType() != varObjectPointer) FValue.Clear();
}

// ---------------------------------------------------------------------------------------------
// TParamDescs

TParamDescs::~TParamDescs() { TParamDescs::Clear(); }

void TParamDescs::Clear() {
    for (int i = 0; i < Count(); ++i) rtl::TObject::Free(Items(i));
    TList::Clear();
}

TParamDesc* TParamDescs::FindParam(const AnsiString& Name) const {
    for (int i = 0; i < Count(); ++i)
        if (rtl::AnsiSameText(Items(i)->GetName(), Name)) return Items(i);
    return nullptr;
}

void TParamDescs::DeleteParam(int Index) {
    TParamDesc* param = Items(Index);
    Delete(Index);
    rtl::TObject::Free(param);
}

}  // namespace daccess

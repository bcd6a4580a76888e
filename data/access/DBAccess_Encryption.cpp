// The dataset's encryption options: the encryptor and the encrypted fields handed to the record
// set, and the encryption of values written back from encrypted fields.
#include <typeinfo>

#include "data/access/DBAccess.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Text.h"

namespace daccess {

TDAEncryptionOptions* TCustomDADataSet::CreateEncryptionOptions() { return rtl::Create<TDAEncryptionOptions>(this); }

rtl::TPersistent* TDAEncryptionOptions::GetOwner() { return FOwner; }

void TDAEncryptionOptions::SetEncryptor(rtl::TComponent* Value) {
    if (Value == FEncryptor) return;
    auto* fieldEncryptor = dynamic_cast<TCRFieldEncryptor*>(Value);
    if (Value && !fieldEncryptor) throw rtl::EInvalidOperation("Invalid property value");
    if (FOwner) {
        if (FEncryptor) FEncryptor->RemoveFreeNotification(FOwner);
        // Described fields and prepared statements still refer to the old encryptor.
        FOwner->Disconnect(true);
    }
    FEncryptor = Value;
    FFieldEncryptor = fieldEncryptor;
    if (!FOwner) return;
    if (Value) Value->FreeNotification(FOwner);
    if (TCRRecordSet* rs = FOwner->ICRRecordSet()) rs->SetEncryptor(fieldEncryptor);
}

void TDAEncryptionOptions::EncryptorRemoved() {
    if (FOwner && !FOwner->ComponentState().Contains(rtl::csDestroying)) FOwner->Disconnect(true);
    FEncryptor = nullptr;
    FFieldEncryptor = nullptr;
    if (FOwner && FOwner->ICRRecordSet()) FOwner->ICRRecordSet()->SetEncryptor(nullptr);
}

void TDAEncryptionOptions::SetFields(const AnsiString& Value) {
    if (Value == FFields) return;
    if (!FOwner) {
        FFields = Value;
        return;
    }
    FOwner->CheckInactive();
    // Fields described by an earlier prepare would keep the old list: a newly listed field
    // would then go to the server in plain.
    if (FOwner->Prepared()) FOwner->UnPrepare();
    FFields = Value;
    if (TCRRecordSet* rs = FOwner->ICRRecordSet()) rs->SetProp(pidEncryptedFields, Value);
}

void TDAEncryptionOptions::AssignTo(rtl::TPersistent* Dest) {
    auto* d = dynamic_cast<TDAEncryptionOptions*>(Dest);
    if (!d) {
        TPersistent::AssignTo(Dest);
        return;
    }
    d->SetEncryptor(FEncryptor);
    d->SetFields(FFields);
}

TEncryptValueFunc FieldEncryptValueFunc(const store::TFieldDesc* Desc) {
    // Descriptions are of exactly this class but for custom stores: that common case is told by
    // the type's identity, without the walk of a dynamic_cast.
    const TCRFieldDesc* desc = nullptr;
    if (Desc && typeid(*Desc) == typeid(TCRFieldDesc))
        desc = static_cast<const TCRFieldDesc*>(Desc);
    else
        desc = dynamic_cast<const TCRFieldDesc*>(Desc);
    if (!desc || !desc->Encryptor) return {};
    TCRFieldEncryptor* encryptor = desc->Encryptor;
    return [encryptor](const void* Data, int Length, int Kind, Variant& Result) {
        return encryptor->EncryptValue(Data, Length, Kind, Result);
    };
}

void ShareFieldEncryption(TCustomDADataSet* DataSet, TCustomDADataSet* RowQuery) {
    TDAEncryptionOptions* source = DataSet->Encryption();
    AnsiString fields;
    if (source->FieldEncryptor() && DataSet->ICRRecordSet()) {
        const store::TFieldDescs& descs = DataSet->ICRRecordSet()->Fields();
        for (int i = 0; i < descs.Count(); ++i) {
            auto* desc = dynamic_cast<TCRFieldDesc*>(descs.Items(i));
            if (!desc || !desc->Encryptor) continue;
            if (!fields.empty()) fields += ";";
            fields += rtl::WideToAnsi(desc->Name) + ";" + TDASQLGenerator::IndexedPrefix(std::to_string(i));
        }
    }
    TDAEncryptionOptions* target = RowQuery->Encryption();
    target->SetFields(fields);
    target->SetEncryptor(fields.empty() ? nullptr : source->Encryptor());
}

}  // namespace daccess

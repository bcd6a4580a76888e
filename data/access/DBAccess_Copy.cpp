// Copying a dataset's settings to another dataset, and the properties it writes into form
// resources besides its published ones.
#include "data/access/DBAccess_DataSet.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"

namespace daccess {

namespace {

[[noreturn]] void InvalidProperty() { throw rtl::EReadError("Invalid property value"); }

bool BoolProperty(const Variant& Value) {
    try {
        return Value.AsBoolean();
    } catch (const rtl::Exception&) {
        InvalidProperty();
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// "MacroData"

std::vector<TStreamedItem> WriteMacroData(const TMacros& Macros) {
    std::vector<TStreamedItem> items;
    for (int i = 0; i < Macros.Count(); ++i) {
        const TMacro* m = Macros.Items(i);
        TStreamedItem item;
        item.push_back({"Name", Variant(m->Name())});
        item.push_back({"Value", Variant(m->Value())});
        // Active is written only when it differs from its default.
        if (!m->Active()) item.push_back({"Active", Variant(false)});
        items.push_back(std::move(item));
    }
    return items;
}

void ReadMacroData(TMacros& Macros, const std::vector<TStreamedItem>& Items) {
    struct TRead {
        AnsiString Name;
        AnsiString Value;
        bool Active = true;
    };
    // Everything is read before the collection changes.
    std::vector<TRead> read;
    for (const TStreamedItem& item : Items) {
        TRead m;
        for (const TStreamedProperty& prop : item) {
            if (prop.Name == "Name")
                m.Name = rtl::VarToStr(prop.Value);
            else if (prop.Name == "Value")
                m.Value = rtl::VarToStr(prop.Value);
            else if (prop.Name == "Active")
                m.Active = BoolProperty(prop.Value);
            else
                InvalidProperty();
        }
        read.push_back(std::move(m));
    }
    Macros.BeginUpdate();
    rtl::TryFinally(
        [&] {
            Macros.Clear();
            for (const TRead& m : read) {
                auto* macro = static_cast<TMacro*>(Macros.Add());
                macro->SetName(m.Name);
                macro->SetValue(m.Value);
                macro->SetActive(m.Active);
            }
        },
        [&] { Macros.EndUpdate(); });
}

bool MacroDataNeedsWriting(const TMacros& Macros, const TMacros* Ancestor) {
    if (Ancestor) return !Macros.IsEqual(Ancestor);
    return Macros.Count() > 0;
}

// ---------------------------------------------------------------------------------------------
// Form properties

std::vector<TFormProperty> TCustomDADataSet::WriteFormProperties(const TCustomDADataSet* Ancestor) const {
    std::vector<TFormProperty> out;
    if (ParamDataNeedsWriting(*Params(), Ancestor ? Ancestor->Params() : nullptr))
        out.push_back({"ParamData", WriteParamData(*Params()), {}});
    if (MacroDataNeedsWriting(*Macros(), Ancestor ? Ancestor->Macros() : nullptr))
        out.push_back({"MacroData", WriteMacroData(*Macros()), {}});
    if (!FDataSQL->FStoredProcName.empty())
        out.push_back({"CommandStoredProcName", {}, Variant(FDataSQL->FStoredProcName)});
    if (FDataSQL->FStoredProcIsQuery) out.push_back({"StoredProcIsQuery", {}, Variant(true)});
    return out;
}

void TCustomDADataSet::ReadFormProperty(const TFormProperty& Property) {
    if (Property.Name == "ParamData")
        ReadParamData(*Params(), Property.Items);
    else if (Property.Name == "MacroData")
        ReadMacroData(*Macros(), Property.Items);
    else if (Property.Name == "CommandStoredProcName")
        FDataSQL->FStoredProcName = rtl::VarToStr(Property.Value);
    else if (Property.Name == "StoredProcIsQuery")
        FDataSQL->FStoredProcIsQuery = BoolProperty(Property.Value);
    else
        InvalidProperty();
}

// ---------------------------------------------------------------------------------------------
// Copying

void TCustomDADataSet::AssignTo(rtl::TPersistent* Dest) {
    store::TMemDataSet::AssignTo(Dest);
    auto* dest = dynamic_cast<TCustomDADataSet*>(Dest);
    if (!dest) return;
    dest->SetConnection(FConnection);
    dest->SetTransaction(FTransaction);
    dest->SetUpdateTransaction(FUpdateTransaction);
    dest->FDataSQL->SetParamCheck(FDataSQL->ParamCheck());
    dest->SetSQL(SQL());
    dest->SetFilterSQL(FFilterSQL);
    // After the text, which derives parameters and macros of its own.
    dest->Macros()->Assign(Macros());
    dest->Params()->Assign(Params());
    dest->SetDebug(FDebug);
    dest->SetFetchRows(FFetchRows);
    dest->SetUniDirectional(FUniDirectional);
    dest->SetAutoCommit(FAutoCommit);
    dest->SetUpdatingTable(FUpdatingTable);
    dest->SetKeyFields(FKeyFields);
    dest->Options()->Assign(FOptions.get());
    dest->DataTypeMap()->Assign(FDataTypeMap.get());
    dest->Encryption()->Assign(FEncryption.get());
    if (dest->FDataSQL) {
        dest->FDataSQL->FStoredProcName = FDataSQL->FStoredProcName;
        dest->FDataSQL->FStoredProcIsQuery = FDataSQL->FStoredProcIsQuery;
    }
}

}  // namespace daccess

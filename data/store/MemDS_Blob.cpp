// Blob streams of the memory dataset and the service's rowset attribute writers.
#include "data/store/MemDS.h"

namespace store {

rtl::TStream* TMemDataSet::NewBlobStream(db::TField* Field, db::TBlobStreamMode Mode) {
    return TDataSet::NewBlobStream(Field, Mode);
}

void TDataSetService::WriteFieldSchema(db::TField* /*Field*/, TFieldDesc* /*FieldDesc*/, XmlWriter& /*Writer*/) {}

void TDataSetService::WriteFieldAttributes(db::TField* /*Field*/, TFieldDesc* /*FieldDesc*/, XmlWriter& /*Writer*/,
                                           const WideString& /*NameOverride*/) {}

void TDataSetService::FieldValueToXml(db::TField* /*Field*/, TFieldDesc* /*FieldDesc*/, WideString& Text) {
    Text.clear();
}

}  // namespace store

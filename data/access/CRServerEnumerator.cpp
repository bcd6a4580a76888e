#include "data/access/CRServerEnumerator.h"

#include "data/access/CRAccess_Types.h"

namespace daccess {

TCRServerEnumerator* TCRServerEnumeratorClass::Create() const { return rtl::Create<TCRServerEnumerator>(); }

bool TCRServerEnumerator::SetProp(int Prop, const Variant& /*Value*/) { PropertyIdFault(Prop); }

bool TCRServerEnumerator::GetProp(int Prop, Variant& /*Value*/) { PropertyIdFault(Prop); }

void TCRServerEnumerator::GetServerList(rtl::TStrings* List) { List->Clear(); }

}  // namespace daccess

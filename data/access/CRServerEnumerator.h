// The provider-side base that lists the servers a connect dialog offers.
#pragma once

#include "framework/rtl/Classes.h"
#include "framework/rtl/Variant.h"

namespace daccess {

using rtl::AnsiString;
using rtl::Variant;

class TCRServerEnumerator;

class TCRServerEnumeratorClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    // The virtual constructor.
    virtual TCRServerEnumerator* Create() const;
    template <class T>
    class Of;
};

template <class T>
class TCRServerEnumeratorClass::Of : public TCRServerEnumeratorClass {
public:
    using TCRServerEnumeratorClass::TCRServerEnumeratorClass;
    TCRServerEnumerator* Create() const override { return ::rtl::Create<T>(); }
    rtl::TObject* NewInstance() const override { return Create(); }
};

class TCRServerEnumerator : public rtl::TObject {
public:
    using ClassRefType = TCRServerEnumeratorClass;
    RTL_CLASS(TCRServerEnumerator, rtl::TObject)
public:
    // The base knows no property: an assertion naming the id.
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    // The base only clears the list.
    virtual void GetServerList(rtl::TStrings* List);
};

}  // namespace daccess

// Substitute properties through which a property store saves and restores an object's state:
// a registry pairs a target class with an interceptor class wrapped around one target object.
#pragma once

#include <functional>

#include "framework/rtl/Classes.h"
#include "framework/ui/Forms.h"

namespace grid {

using rtl::AnsiString;

class TStoragePropertyInterceptor : public rtl::TPersistent {
    RTL_CLASS(TStoragePropertyInterceptor, rtl::TPersistent)
public:
    explicit TStoragePropertyInterceptor(rtl::TObject* Target) : FTarget(Target) {}
    virtual bool NeedIntercept() const { return true; }
    // Called once the interceptor's properties were restored.
    virtual void AfterRestore() {}
    rtl::TObject* Target() const noexcept { return FTarget; }

protected:
    rtl::TObject* FTarget;
};

using TInterceptorFactoryEh = std::function<TStoragePropertyInterceptor*(rtl::TObject* Target)>;

struct TPropertyInterceptorEntryEh {
    const rtl::ClassRef* TargetClass;
    const rtl::ClassRef* InterceptorClass;
    TInterceptorFactoryEh Factory;
};

// A class has at most one interceptor: a later registration replaces an earlier one.
void RegisterClassPropertyInterceptor(const rtl::ClassRef* TargetClass, const rtl::ClassRef* InterceptorClass,
                                      TInterceptorFactoryEh Factory);
void UnregisterClassPropertyInterceptor(const rtl::ClassRef* TargetClass, const rtl::ClassRef* InterceptorClass);
const std::vector<TPropertyInterceptorEntryEh>& ClassPropertyInterceptors();

template <class TTarget, class TInterceptor>
void RegisterClassPropertyInterceptor() {
    RegisterClassPropertyInterceptor(
        &TTarget::StaticClass(), &TInterceptor::StaticClass(),
        [](rtl::TObject* Target) -> TStoragePropertyInterceptor* { return rtl::Create<TInterceptor>(Target); });
}

// The interceptor of Target's class or its nearest registered ancestor; null when none.
rtl::TOwnedPtr<TStoragePropertyInterceptor> CreatePropertyInterceptor(rtl::TObject* Target);

class TFormStoragePropertyInterceptor : public TStoragePropertyInterceptor {
    RTL_CLASS(TFormStoragePropertyInterceptor, TStoragePropertyInterceptor)
public:
    explicit TFormStoragePropertyInterceptor(rtl::TObject* Target);
    void AfterRestore() override;

    ui::TWinControl* ActiveControl() const noexcept { return FActiveControl; }
    void SetActiveControl(ui::TWinControl* Value) noexcept { FActiveControl = Value; }
    int Left() const;
    void SetLeft(int Value) noexcept {
        FLeft = Value;
        FPosPresent = true;
    }
    int Top() const;
    void SetTop(int Value) noexcept {
        FTop = Value;
        FPosPresent = true;
    }
    int Width() const;
    void SetWidth(int Value) noexcept { FWidth = Value; }
    int Height() const;
    void SetHeight(int Value) noexcept { FHeight = Value; }
    int PixelsPerInch() const noexcept { return FPixelsPerInch; }
    void SetPixelsPerInch(int Value) noexcept { FPixelsPerInch = Value; }

private:
    ui::TCustomForm* Form() const;
    ui::TWinControl* FActiveControl = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    int FPixelsPerInch = 0;
    bool FPosPresent = false;
};

}  // namespace grid

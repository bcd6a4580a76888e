#include "controls/grid/PropFilerEh.h"

#include <algorithm>

#include "framework/rtl/Ownership.h"
#include "framework/ui/Graphics.h"

namespace grid {

namespace {

std::vector<TPropertyInterceptorEntryEh>& Registry() {
    static std::vector<TPropertyInterceptorEntryEh> Entries;
    return Entries;
}

const bool FormInterceptorRegistered = [] {
    RegisterClassPropertyInterceptor<ui::TCustomForm, TFormStoragePropertyInterceptor>();
    return true;
}();

}  // namespace

void RegisterClassPropertyInterceptor(const rtl::ClassRef* TargetClass, const rtl::ClassRef* InterceptorClass,
                                      TInterceptorFactoryEh Factory) {
    auto& r = Registry();
    std::erase_if(r, [&](const TPropertyInterceptorEntryEh& e) { return e.TargetClass == TargetClass; });
    r.push_back({TargetClass, InterceptorClass, std::move(Factory)});
}

void UnregisterClassPropertyInterceptor(const rtl::ClassRef* TargetClass, const rtl::ClassRef* InterceptorClass) {
    std::erase_if(Registry(), [&](const TPropertyInterceptorEntryEh& e) {
        return e.TargetClass == TargetClass && e.InterceptorClass == InterceptorClass;
    });
}

const std::vector<TPropertyInterceptorEntryEh>& ClassPropertyInterceptors() {
    (void)FormInterceptorRegistered;
    return Registry();
}

rtl::TOwnedPtr<TStoragePropertyInterceptor> CreatePropertyInterceptor(rtl::TObject* Target) {
    if (!Target) return nullptr;
    for (const rtl::ClassRef* c = Target->ClassType(); c; c = c->ClassParent())
        for (const auto& e : ClassPropertyInterceptors())
            if (e.TargetClass == c) return rtl::Adopt(e.Factory(Target));
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Form

TFormStoragePropertyInterceptor::TFormStoragePropertyInterceptor(rtl::TObject* Target)
    : TStoragePropertyInterceptor(Target) {
    if (ui::TCustomForm* f = Form()) {
        FLeft = f->Left();
        FTop = f->Top();
        FWidth = f->Width();
        FHeight = f->Height();
        FPixelsPerInch = ui::ScreenPixelsPerInch;
        FActiveControl = f->ActiveControl();
    }
}

ui::TCustomForm* TFormStoragePropertyInterceptor::Form() const { return dynamic_cast<ui::TCustomForm*>(FTarget); }

int TFormStoragePropertyInterceptor::Left() const { return Form() ? Form()->Left() : 0; }
int TFormStoragePropertyInterceptor::Top() const { return Form() ? Form()->Top() : 0; }
int TFormStoragePropertyInterceptor::Width() const { return Form() ? Form()->Width() : 0; }
int TFormStoragePropertyInterceptor::Height() const { return Form() ? Form()->Height() : 0; }

void TFormStoragePropertyInterceptor::AfterRestore() {
    // A store that never saved the resolution holds 0: scaling by it would give -1 everywhere.
    if (FPixelsPerInch > 0) {
        const int ppi = ui::ScreenPixelsPerInch;
        FHeight = ui::MulDiv(FHeight, ppi, FPixelsPerInch);
        FLeft = ui::MulDiv(FLeft, ppi, FPixelsPerInch);
        FTop = ui::MulDiv(FTop, ppi, FPixelsPerInch);
        FWidth = ui::MulDiv(FWidth, ppi, FPixelsPerInch);
    }
    ui::TCustomForm* f = Form();
    if (!f) return;
    if (FActiveControl) f->SetActiveControl(FActiveControl);
    f->SetBounds(FLeft, FTop, FWidth, FHeight);
    if ((f->Position() == ui::poScreenCenter) && FPosPresent && !f->ComponentState().Contains(rtl::csDesigning))
        f->SetPosition(ui::poDesigned);
}

}  // namespace grid

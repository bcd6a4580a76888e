// The error of a provider, on its own so that providers' error classes need not pull the component
// layer of data access.
#pragma once

#include <cstdint>

#include "framework/db/DB_Error.h"
#include "framework/rtl/Types.h"

namespace rtl {
class TComponent;
}

namespace daccess {

using rtl::AnsiString;

// An error of a provider: the message, the provider's error code and the component in which the
// error arose.
class EDAError : public db::EDatabaseError {
    using Inherited = db::EDatabaseError;

public:
    EDAError(int32_t ErrorCode, AnsiString Msg) : Inherited(std::move(Msg)), FErrorCode(ErrorCode) {}
    explicit EDAError(AnsiString Msg = {}) : EDAError(0, std::move(Msg)) {}

    int32_t ErrorCode() const noexcept { return FErrorCode; }
    rtl::TComponent* Component() const noexcept { return FComponent; }
    void SetComponent(rtl::TComponent* Value) noexcept { FComponent = Value; }

    // False: the connection is still usable.
    virtual bool IsFatalError() const { return false; }
    virtual bool IsKeyViolation() const { return false; }

    const char* ClassName() const noexcept override { return "EDAError"; }
    bool InheritsFromName(std::string_view name) const noexcept override {
        return name == "EDAError" || Inherited::InheritsFromName(name);
    }
    std::unique_ptr<rtl::Exception> Clone() const override { return std::make_unique<EDAError>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }

private:
    int32_t FErrorCode = 0;
    rtl::TComponent* FComponent = nullptr;
};

}  // namespace daccess

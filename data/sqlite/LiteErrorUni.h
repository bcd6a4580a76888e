// The error of the SQLite engine: its result code and message.
#pragma once

#include "data/access/DBAccess_Error.h"

namespace sqlite {

// SQLite's result code of a violated constraint.
inline constexpr int SQLITE_CONSTRAINT_CODE = 19;

class ESQLiteError : public daccess::EDAError {
    using Inherited = daccess::EDAError;

public:
    using Inherited::Inherited;

    bool IsFatalError() const override { return false; }
    bool IsKeyViolation() const override { return ErrorCode() == SQLITE_CONSTRAINT_CODE; }

    const char* ClassName() const noexcept override { return "ESQLiteError"; }
    bool InheritsFromName(std::string_view name) const noexcept override {
        return name == "ESQLiteError" || Inherited::InheritsFromName(name);
    }
    std::unique_ptr<rtl::Exception> Clone() const override { return std::make_unique<ESQLiteError>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }
};

}  // namespace sqlite

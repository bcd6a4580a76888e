// The exception hierarchy of the runtime. Every error the system raises derives from Exception and
// carries its message as 1251 text.
#pragma once

#include <exception>
#include <functional>
#include <memory>

#include "framework/rtl/Types.h"

namespace rtl {

class Exception : public std::exception {
public:
    explicit Exception(AnsiString message = {}) : FMessage(std::move(message)) {}
    ~Exception() override = default;

    const AnsiString& Message() const noexcept { return FMessage; }
    void SetMessage(AnsiString message) { FMessage = std::move(message); }
    const char* what() const noexcept override { return FMessage.c_str(); }

    virtual const char* ClassName() const noexcept { return "Exception"; }
    // True when this exception's class or one of its ancestors has the given name.
    virtual bool InheritsFromName(std::string_view name) const noexcept { return name == "Exception"; }
    // A copy of the same dynamic class.
    virtual std::unique_ptr<Exception> Clone() const { return std::make_unique<Exception>(*this); }
    std::unique_ptr<Exception> CloneWithMessage(AnsiString message) const {
        auto e = Clone();
        e->SetMessage(std::move(message));
        return e;
    }
    // Throws a copy of the same dynamic class.
    [[noreturn]] virtual void Raise() const { throw *this; }

private:
    AnsiString FMessage;
};

// Declares an exception class with the runtime's clone, raise and class-name support.
#define RTL_DECLARE_EXCEPTION(Name, Base)                                                                  \
    class Name : public Base {                                                                             \
        using Inherited = Base;                                                                            \
                                                                                                           \
    public:                                                                                                \
        using Inherited::Inherited;                                                                        \
        const char* ClassName() const noexcept override { return #Name; }                                  \
        bool InheritsFromName(std::string_view name) const noexcept override {                             \
            return name == #Name || Inherited::InheritsFromName(name);                                     \
        }                                                                                                  \
        std::unique_ptr<::rtl::Exception> Clone() const override { return std::make_unique<Name>(*this); } \
        [[noreturn]] void Raise() const override { throw *this; }                                          \
    }

RTL_DECLARE_EXCEPTION(EConvertError, Exception);
RTL_DECLARE_EXCEPTION(EAbstractError, Exception);
RTL_DECLARE_EXCEPTION(EStreamError, Exception);
RTL_DECLARE_EXCEPTION(EFCreateError, EStreamError);
RTL_DECLARE_EXCEPTION(EFOpenError, EStreamError);
RTL_DECLARE_EXCEPTION(EReadError, EStreamError);
RTL_DECLARE_EXCEPTION(EWriteError, EStreamError);
RTL_DECLARE_EXCEPTION(EOutOfResources, Exception);
RTL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
RTL_DECLARE_EXCEPTION(EInvalidOperation, Exception);
RTL_DECLARE_EXCEPTION(EInvalidPointer, Exception);
RTL_DECLARE_EXCEPTION(EListError, Exception);
RTL_DECLARE_EXCEPTION(EStringListError, Exception);
RTL_DECLARE_EXCEPTION(EComponentError, Exception);
RTL_DECLARE_EXCEPTION(EVariantError, Exception);
RTL_DECLARE_EXCEPTION(EIntError, Exception);
RTL_DECLARE_EXCEPTION(EDivByZero, EIntError);
RTL_DECLARE_EXCEPTION(ERangeError, EIntError);
RTL_DECLARE_EXCEPTION(EIntOverflow, EIntError);
RTL_DECLARE_EXCEPTION(EMathError, Exception);
RTL_DECLARE_EXCEPTION(EZeroDivide, EMathError);
RTL_DECLARE_EXCEPTION(EOverflow, EMathError);
RTL_DECLARE_EXCEPTION(EOSError, Exception);
RTL_DECLARE_EXCEPTION(ENotSupportedException, Exception);

// Silent: the application's handler swallows it without showing anything.
RTL_DECLARE_EXCEPTION(EAbort, Exception);

// An internal consistency check (text, unit, line); thrown in every build, never compiled out.
class EAssertionFailed : public Exception {
public:
    EAssertionFailed(AnsiString text, AnsiString unit, int line);
    const AnsiString& Text() const noexcept { return FText; }
    const AnsiString& Unit() const noexcept { return FUnit; }
    int Line() const noexcept { return FLine; }
    const char* ClassName() const noexcept override { return "EAssertionFailed"; }
    bool InheritsFromName(std::string_view name) const noexcept override {
        return name == "EAssertionFailed" || Exception::InheritsFromName(name);
    }
    std::unique_ptr<Exception> Clone() const override { return std::make_unique<EAssertionFailed>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }

private:
    AnsiString FText;
    AnsiString FUnit;
    int FLine;
};

// Raises EAssertionFailed when the condition is false.
inline void Assert(bool condition, const AnsiString& text, const char* unit, int line) {
    if (!condition) throw EAssertionFailed(text, unit, line);
}
[[noreturn]] void AssertFail(const AnsiString& text, const char* unit, int line);
// Raises the platform's abstract-call error.
[[noreturn]] void AbstractError();
// Raises EAbort.
[[noreturn]] void Abort();

// The application's handler of exceptions that no other handler takes.
using TExceptionHandler = std::function<void(const Exception&)>;
// Installs a handler and returns the previous one.
TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler);
// Whether an application handler is installed (callers that would rather raise than show check it).
bool ApplicationExceptionHandlerInstalled();
// Passes the exception in flight (call from a catch block) to the installed handler; EAbort is
// swallowed silently, and a non-rtl exception is wrapped into Exception with its what() text.
void HandleException();
// Passes the given exception to the installed handler (EAbort is swallowed).
void HandleException(const Exception& e);

}  // namespace rtl

#include "framework/rtl/Exceptions.h"

#include <cstdio>
#include <mutex>

namespace rtl {

namespace {

AnsiString AssertionMessage(const AnsiString& text, const AnsiString& unit, int line) {
    return text + " (" + unit + ", line " + std::to_string(line) + ")";
}

std::mutex gHandlerLock;
TExceptionHandler gHandler;

}  // namespace

EAssertionFailed::EAssertionFailed(AnsiString text, AnsiString unit, int line)
    : Exception(AssertionMessage(text, unit, line)), FText(std::move(text)), FUnit(std::move(unit)), FLine(line) {}

void AssertFail(const AnsiString& text, const char* unit, int line) { throw EAssertionFailed(text, unit, line); }

void AbstractError() { throw EAbstractError("Abstract Error"); }

void Abort() { throw EAbort("Operation aborted"); }

TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler) {
    std::lock_guard lock(gHandlerLock);
    std::swap(gHandler, handler);
    return handler;
}

bool ApplicationExceptionHandlerInstalled() {
    std::lock_guard lock(gHandlerLock);
    return static_cast<bool>(gHandler);
}

void HandleException(const Exception& e) {
    if (dynamic_cast<const EAbort*>(&e)) return;
    TExceptionHandler handler;
    {
        std::lock_guard lock(gHandlerLock);
        handler = gHandler;
    }
    if (handler)
        handler(e);
    else
        std::fprintf(stderr, "%s: %s\n", e.ClassName(), e.Message().c_str());
}

void HandleException() {
    try {
        throw;
    } catch (const Exception& e) {
        HandleException(e);
    } catch (const std::exception& e) {
        HandleException(Exception(e.what()));
    }
}

}  // namespace rtl

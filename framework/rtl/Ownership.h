// Owning handles, the cleanup helper and scope guards: what a holder releases, it releases in
// exactly one place, on every path.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "framework/rtl/Classes.h"

namespace rtl {

// Takes over a framework object a caller made; a parameter of this type says the callee owns it.
template <class T>
TOwnedPtr<T> Adopt(T* Object) noexcept {
    return TOwnedPtr<T>(Object);
}

// One counted reference to an object with AddRef and Release (blobs, variant objects). Made with
// Adopt when the reference is the caller's already (a new object's first one), with Retain when it
// is a further reference to an object someone else holds.
template <class T>
class TSharedRef {
public:
    TSharedRef() noexcept = default;
    TSharedRef(std::nullptr_t) noexcept {}
    ~TSharedRef() { reset(); }

    static TSharedRef Adopt(T* Object) noexcept {
        TSharedRef r;
        r.FObject = Object;
        return r;
    }
    static TSharedRef Retain(T* Object) noexcept {
        if (Object) Object->AddRef();
        return Adopt(Object);
    }

    TSharedRef(const TSharedRef& Other) noexcept : FObject(Other.FObject) {
        if (FObject) FObject->AddRef();
    }
    TSharedRef(TSharedRef&& Other) noexcept : FObject(std::exchange(Other.FObject, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    TSharedRef(TSharedRef<U>&& Other) noexcept : FObject(Other.Detach()) {}

    TSharedRef& operator=(TSharedRef Other) noexcept {
        std::swap(FObject, Other.FObject);
        return *this;
    }

    // Drops the reference; Release may free the object.
    void reset() {
        if (T* o = std::exchange(FObject, nullptr)) o->Release();
    }
    // Hands the reference to the caller, who must release it.
    [[nodiscard]] T* Detach() noexcept { return std::exchange(FObject, nullptr); }

    T* get() const noexcept { return FObject; }
    T* operator->() const noexcept { return FObject; }
    T& operator*() const noexcept { return *FObject; }
    explicit operator bool() const noexcept { return FObject != nullptr; }
    friend bool operator==(const TSharedRef& a, const TSharedRef& b) noexcept { return a.FObject == b.FObject; }
    friend bool operator==(const TSharedRef& a, std::nullptr_t) noexcept { return a.FObject == nullptr; }

private:
    T* FObject = nullptr;
};

// A handle of a C interface and the call that releases it (a prepared statement and its finalize
// call, a file and its close), released once when the owner goes.
template <class H, class Release>
class TUniqueHandle {
public:
    explicit TUniqueHandle(Release R = Release(), H Handle = H()) noexcept : FHandle(Handle), FRelease(std::move(R)) {}
    ~TUniqueHandle() { reset(); }
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;
    TUniqueHandle(TUniqueHandle&& Other) noexcept
        : FHandle(std::exchange(Other.FHandle, H())), FRelease(std::move(Other.FRelease)) {}
    TUniqueHandle& operator=(TUniqueHandle&& Other) noexcept {
        if (this != &Other) {
            reset();
            FHandle = std::exchange(Other.FHandle, H());
            FRelease = std::move(Other.FRelease);
        }
        return *this;
    }

    H get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != H(); }
    // Releases the current handle and gives the slot an out-parameter may fill.
    H* Receive() {
        reset();
        return &FHandle;
    }
    void reset(H Handle = H()) {
        H old = std::exchange(FHandle, Handle);
        if (old != H()) FRelease(old);
    }
    [[nodiscard]] H Detach() noexcept { return std::exchange(FHandle, H()); }

private:
    H FHandle;
    Release FRelease;
};

// Runs Body, then Cleanup on every path, and gives Body's result. When Body raises, Cleanup still
// runs and the error goes on; when Cleanup itself raises, its error replaces Body's.
template <class Body, class Cleanup>
decltype(auto) TryFinally(Body&& body, Cleanup&& cleanup) {
    using Result = std::invoke_result_t<Body&>;
    if constexpr (std::is_void_v<Result>) {
        try {
            body();
        } catch (...) {
            cleanup();
            throw;
        }
        cleanup();
    } else {
        // Kept in its own variable so that Cleanup runs before the caller sees the value.
        std::optional<std::conditional_t<std::is_reference_v<Result>,
                                         std::reference_wrapper<std::remove_reference_t<Result>>, Result>>
            result;
        try {
            result.emplace(body());
        } catch (...) {
            cleanup();
            throw;
        }
        cleanup();
        if constexpr (std::is_reference_v<Result>)
            return static_cast<Result>(result->get());
        else
            return Result(std::move(*result));
    }
}

namespace detail {
// Ends a scope's pair: left by an error, the scope drops an error of the ending so that the first
// one goes on; left normally, the ending's error is raised.
class TScopeEnd {
public:
    template <class F>
    void Run(F&& End) noexcept(false) {
        if (std::uncaught_exceptions() > FErrors) {
            try {
                End();
            } catch (...) {
            }
        } else {
            End();
        }
    }

private:
    int FErrors = std::uncaught_exceptions();
};
}  // namespace detail

// Runs Cleanup when the scope ends, on every path: for cleanups that close a whole function,
// where TryFinally would wrap its body in a lambda.
template <class F>
class TScopeExit {
public:
    explicit TScopeExit(F Cleanup) : FCleanup(std::move(Cleanup)) {}
    ~TScopeExit() noexcept(false) { FEnd.Run(FCleanup); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FCleanup;
    detail::TScopeEnd FEnd;
};

// A variable holding Value for the scope and its old value again after it.
template <class T>
class TScopedValue {
public:
    TScopedValue(T& Variable, T Value) : FVariable(Variable), FOld(std::exchange(Variable, std::move(Value))) {}
    ~TScopedValue() { FVariable = std::move(FOld); }
    TScopedValue(const TScopedValue&) = delete;
    TScopedValue& operator=(const TScopedValue&) = delete;

private:
    T& FVariable;
    T FOld;
};

// The pairs the code repeats, begun by the guard and ended when the scope ends; a null object
// (or Active false) makes the guard do nothing. Pair says how the object begins and ends.
template <class T, class Pair>
class TScopedPair {
public:
    template <class... A>
    explicit TScopedPair(T* Object, bool Active = true, A&&... BeginArgs) : FObject(Active ? Object : nullptr) {
        if (FObject) Pair::Begin(*FObject, std::forward<A>(BeginArgs)...);
    }
    ~TScopedPair() noexcept(false) {
        if (FObject) FEnd.Run([this] { Pair::End(*FObject); });
    }
    TScopedPair(const TScopedPair&) = delete;
    TScopedPair& operator=(const TScopedPair&) = delete;

private:
    T* FObject;
    detail::TScopeEnd FEnd;
};

namespace detail {
struct TUpdatePair {
    static void Begin(auto& Object) { Object.BeginUpdate(); }
    static void End(auto& Object) { Object.EndUpdate(); }
};
struct TControlsPair {
    static void Begin(auto& DataSet) { DataSet.DisableControls(); }
    static void End(auto& DataSet) { DataSet.EnableControls(); }
};
struct TConnectionPair {
    static void Begin(auto& Component, auto&&... Args) { Component.BeginConnection(Args...); }
    static void End(auto& Component) { Component.EndConnection(); }
};
}  // namespace detail

// BeginUpdate / EndUpdate of a list, collection or parameter set.
template <class T>
using TUpdateLock = TScopedPair<T, detail::TUpdatePair>;
// DisableControls / EnableControls of a dataset.
template <class T>
using TControlsDisabled = TScopedPair<T, detail::TControlsPair>;
// BeginConnection / EndConnection of a component that connects on demand (the arguments after
// Active go to BeginConnection).
template <class T>
using TConnectionUse = TScopedPair<T, detail::TConnectionPair>;

}  // namespace rtl

// Owning handles and the one cleanup helper: what a holder releases, it releases in exactly one
// place, on every path.
#pragma once

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
    explicit TUniqueHandle(Release R = Release(), H Handle = H()) noexcept
        : FHandle(Handle), FRelease(std::move(R)) {}
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

}  // namespace rtl

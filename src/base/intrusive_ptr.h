// TIntrusivePtr: the smart pointer for reference-counted objects and their interfaces.
#pragma once

#include <compare>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace pxh {

// Adopt tag: take over a count the object already holds instead of adding one.
struct TAdoptRef {};
inline constexpr TAdoptRef AdoptRef{};

// Works with any T offering AddRef() and Release(); the count lives in the object, so a raw pointer
// to it can be turned into a new owner at any time (interfaces taken inside methods stay safe).
template <class T> class TIntrusivePtr {
public:
    using element_type = T;

    constexpr TIntrusivePtr() noexcept = default;
    constexpr TIntrusivePtr(std::nullptr_t) noexcept {}
    explicit TIntrusivePtr(T* APtr) noexcept
        : FPtr(APtr) {
        if (FPtr)
            FPtr->AddRef();
    }
    TIntrusivePtr(T* APtr, TAdoptRef) noexcept
        : FPtr(APtr) {}
    TIntrusivePtr(const TIntrusivePtr& AOther) noexcept
        : TIntrusivePtr(AOther.FPtr) {}
    TIntrusivePtr(TIntrusivePtr&& AOther) noexcept
        : FPtr(std::exchange(AOther.FPtr, nullptr)) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> TIntrusivePtr(const TIntrusivePtr<U>& AOther)
    noexcept
        : TIntrusivePtr(static_cast<T*>(AOther.get())) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> TIntrusivePtr(TIntrusivePtr<U>&& AOther)
    noexcept
        : FPtr(AOther.detach()) {}
    ~TIntrusivePtr() {
        if (FPtr)
            FPtr->Release();
    }

    TIntrusivePtr& operator=(TIntrusivePtr AOther) noexcept {
        swap(AOther);
        return *this;
    }

    void reset() noexcept { TIntrusivePtr().swap(*this); }
    void swap(TIntrusivePtr& AOther) noexcept { std::swap(FPtr, AOther.FPtr); }
    // Gives up ownership without releasing: the caller now holds the count.
    [[nodiscard]] T* detach() noexcept { return std::exchange(FPtr, nullptr); }

    T* get() const noexcept { return FPtr; }
    T* operator->() const noexcept { return FPtr; }
    T& operator*() const noexcept { return *FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }

    template <class U> bool operator==(const TIntrusivePtr<U>& AOther) const noexcept {
        return FPtr == AOther.get();
    }
    bool operator==(std::nullptr_t) const noexcept { return FPtr == nullptr; }

private:
    T* FPtr = nullptr;
};

// The interface query: an empty pointer when the object does not implement I.
template <class I, class T> TIntrusivePtr<I> Supports(const TIntrusivePtr<T>& AObject) noexcept {
    return TIntrusivePtr<I>(dynamic_cast<I*>(AObject.get()));
}
template <class I, class T> TIntrusivePtr<I> Supports(T* AObject) noexcept {
    return TIntrusivePtr<I>(dynamic_cast<I*>(AObject));
}

} // namespace pxh

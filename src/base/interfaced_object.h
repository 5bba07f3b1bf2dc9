// TInterfacedObjectKVB: the reference-counted, self-locking base of the program's data objects.
#pragma once

#include "base/base_interfaces.h"
#include "base/exception.h"
#include "base/intrusive_ptr.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <typeinfo>
#include <utility>

namespace pxh {

class TPersistClass;

// A broken precondition of the object model (a programming error, never a user's input).
PXH_DECLARE_EXCEPTION(EAssertionFailed, EPixhoard);

// The class name as log lines and messages show it: demangled, without namespaces.
QString ClassNameOf(const std::type_info& AType);

class TInterfacedObjectKVB : public virtual ILock {
public:
    // An auto-destroy object frees itself when its last reference goes, once MakeInterfaced has
    // handed it out; any other object (on the stack, a member, held by unique_ptr) belongs to its
    // owner, and references to it never free it.
    explicit TInterfacedObjectKVB(bool AAutoDestroy = true) noexcept
        : FAutoDestroy(AAutoDestroy) {}
    TInterfacedObjectKVB(const TInterfacedObjectKVB&) = delete;
    TInterfacedObjectKVB& operator=(const TInterfacedObjectKVB&) = delete;
    // Destroying an auto-destroy object that is still referenced is fatal: those references would dangle.
    ~TInterfacedObjectKVB() override;

    std::int32_t AddRef() const noexcept override;
    std::int32_t Release() const noexcept override;
    std::int32_t RefCount() const noexcept { return FRefCount.load(std::memory_order_acquire); }
    bool AutoDestroy() const noexcept { return FAutoDestroy; }

    void Lock() const override { FLock.lock(); }
    void Unlock() const override { FLock.unlock(); }
    void ResetLock() const override {}
    bool TryLock() const override { return FLock.try_lock(); }

    // Companions that keep this object alive while referenced. Both raise EAssertionFailed when the
    // class cannot be serialized.
    TIntrusivePtr<IXMLPersistence> XML();
    TIntrusivePtr<IObjectAssign> ObjAssign();

    // The persistence descriptor of this exact class (see PXH_PERSISTENT), or none.
    virtual const TPersistClass* PersistClass() const noexcept { return nullptr; }
    QString ClassName() const { return ClassNameOf(typeid(*this)); }

protected:
    // Called when the count drops to 0 on an object that does not free itself; exceptions are swallowed.
    virtual void DoZeroRefCount() {}

private:
    template <class T, class... A> friend TIntrusivePtr<T> MakeInterfaced(A&&... AArgs);

    mutable std::atomic<std::int32_t> FRefCount{0};
    const bool FAutoDestroy;
    // Set once construction has finished: until then a count that returns to 0 (an interface taken
    // inside a constructor) cannot free the half-built object.
    bool FManaged = false;
    mutable std::recursive_mutex FLock;
};

// Creates a reference-counted object; the returned pointer holds its first reference.
template <class T, class... A> TIntrusivePtr<T> MakeInterfaced(A&&... AArgs) {
    T* Obj = new T(std::forward<A>(AArgs)...);
    static_cast<TInterfacedObjectKVB*>(Obj)->FManaged = true;
    return TIntrusivePtr<T>(Obj);
}

} // namespace pxh

// The small interfaces of the base layer: counting, locking, lists, copying and XML persistence.
#pragma once

#include <QString>
#include <cstdint>

class QIODevice;
namespace pugi {
class xml_document;
}

namespace pxh {

class TInterfacedObjectKVB;

// Every interface derives virtually from this one, so an object implementing several has one count.
class IInterface {
public:
    virtual std::int32_t AddRef() const noexcept = 0;
    virtual std::int32_t Release() const noexcept = 0;

protected:
    virtual ~IInterface() = default;
};

// The object's own monitor; recursive, so a callback inside a locked walk may lock again.
class ILock : public virtual IInterface {
public:
    virtual void Lock() const = 0;
    virtual void Unlock() const = 0;
    virtual void ResetLock() const = 0;
    virtual bool TryLock() const = 0;
};

// Scoped Lock/Unlock.
class TLockGuard {
public:
    explicit TLockGuard(const ILock& ALock)
        : FLock(ALock) {
        FLock.Lock();
    }
    ~TLockGuard() { FLock.Unlock(); }
    TLockGuard(const TLockGuard&) = delete;
    TLockGuard& operator=(const TLockGuard&) = delete;

private:
    const ILock& FLock;
};

class IObjectList : public virtual IInterface {
public:
    virtual void Clear() = 0;
    virtual int GetCount() const = 0;
};

class IObjectAssign : public virtual IInterface {
public:
    // Copies the source's persistent properties into the owner.
    virtual void Assign(const TInterfacedObjectKVB& ASource) = 0;
    // Copies the owner's persistent properties into the destination.
    virtual void AssignTo(TInterfacedObjectKVB& ADest) const = 0;
};

class IXMLPersistence : public virtual IInterface {
public:
    // Whether the owner can be serialized; raises instead of answering false when ARaise is set.
    virtual bool Check(bool ARaise) const = 0;
    virtual void FromStream(QIODevice& AStream) = 0;
    virtual void FromDoc(const pugi::xml_document& ADoc) = 0;
    // False (with the reason in AError) when the file could not be read; see TPersistObject::FromXMLFile.
    virtual bool FromFile(const QString& AFileName, QString* AError = nullptr) = 0;
    virtual void FromString(const QString& AText) = 0;
    virtual void ToStream(QIODevice& AStream) const = 0;
    virtual void ToDoc(pugi::xml_document& ADoc) const = 0;
    virtual void ToFile(const QString& AFileName) const = 0;
    virtual QString ToString() const = 0;
};

} // namespace pxh

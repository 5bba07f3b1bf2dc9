// TInterfacedObjectList: the reference-counted, self-locking list that holds its items by reference.
#pragma once

#include "base/interfaced_object.h"

#include <functional>
#include <type_traits>
#include <vector>

namespace pxh {

// What the serializer needs of any list, whatever its item type.
class TInterfacedObjectListBase : public TInterfacedObjectKVB, public virtual IObjectList {
public:
    using TInterfacedObjectKVB::TInterfacedObjectKVB;

    // Items in order, empty slots left out; taken under the lock.
    virtual std::vector<TIntrusivePtr<TInterfacedObjectKVB>> PersistItems() const = 0;
    // A new item of the list's item class, not yet added; raises when the list cannot make one.
    virtual TIntrusivePtr<TInterfacedObjectKVB> PersistNewItem() const = 0;
    // Adds an item made by PersistNewItem.
    virtual void PersistAdd(const TIntrusivePtr<TInterfacedObjectKVB>& AItem) = 0;
};

// The list holds a reference to each item: Clear and Delete end the list's share, and an item that
// someone else still holds stays valid until that holder lets go. T may be a class or an interface;
// a list of interfaces that is read from XML overrides NewItem.
template <class T> class TInterfacedObjectList : public TInterfacedObjectListBase {
public:
    using TItemPtr = TIntrusivePtr<T>;

    explicit TInterfacedObjectList(bool AAutoDestroy = true)
        : TInterfacedObjectListBase(AAutoDestroy) {}

    int Add(TItemPtr AItem) {
        TLockGuard Guard(*this);
        FItems.push_back(std::move(AItem));
        return static_cast<int>(FItems.size()) - 1;
    }
    void Insert(int AIndex, TItemPtr AItem) {
        TLockGuard Guard(*this);
        FItems.insert(FItems.begin() + CheckIndex(AIndex, true), std::move(AItem));
    }
    void Delete(int AIndex) { TItemPtr Removed = Extract(AIndex); }
    // Removes the item at AIndex and hands the list's reference to the caller.
    TItemPtr Extract(int AIndex) {
        TLockGuard Guard(*this);
        const auto At = FItems.begin() + CheckIndex(AIndex, false);
        TItemPtr Item = std::move(*At);
        FItems.erase(At);
        return Item;
    }
    // Removes the first slot holding AItem; its index, or -1.
    int Remove(const T* AItem) {
        TLockGuard Guard(*this);
        const int Index = IndexOf(AItem);
        if (Index >= 0)
            FItems.erase(FItems.begin() + Index);
        return Index;
    }
    int IndexOf(const T* AItem) const {
        TLockGuard Guard(*this);
        for (std::size_t I = 0; I < FItems.size(); ++I)
            if (FItems[I].get() == AItem)
                return static_cast<int>(I);
        return -1;
    }
    TItemPtr Item(int AIndex) const {
        TLockGuard Guard(*this);
        return FItems[CheckIndex(AIndex, false)];
    }
    int Count() const {
        TLockGuard Guard(*this);
        return static_cast<int>(FItems.size());
    }
    // A copy of the item references, for walks that must not hold the lock.
    std::vector<TItemPtr> Items() const {
        TLockGuard Guard(*this);
        return FItems;
    }

    // Holds the lock throughout; the lock is recursive, so the callback may use the list. A callback
    // returning bool stops the walk at the first item for which it is true and ForEachObject returns
    // that item (an empty pointer when there is none); a void callback visits every item.
    template <class F> auto ForEachObject(F&& AFunc) const {
        TLockGuard Guard(*this);
        if constexpr (std::is_same_v<std::invoke_result_t<F&, const TItemPtr&>, bool>) {
            for (const TItemPtr& Entry : FItems)
                if (AFunc(Entry))
                    return Entry;
            return TItemPtr();
        } else {
            for (const TItemPtr& Entry : FItems)
                AFunc(Entry);
        }
    }

    void Clear() override {
        std::vector<TItemPtr> Released;
        {
            TLockGuard Guard(*this);
            Released.swap(FItems);
        }
        // Items are released outside the lock: an item's destructor may take other locks.
    }
    int GetCount() const override { return Count(); }

    virtual TItemPtr NewItem() const {
        if constexpr (std::is_base_of_v<TInterfacedObjectKVB, T> && std::is_default_constructible_v<T> &&
                      !std::is_abstract_v<T>) {
            return MakeInterfaced<T>();
        } else {
            throw EAssertionFailed(QStringLiteral("%1 cannot create its items").arg(ClassName()));
        }
    }

    std::vector<TIntrusivePtr<TInterfacedObjectKVB>> PersistItems() const override {
        std::vector<TIntrusivePtr<TInterfacedObjectKVB>> Result;
        TLockGuard Guard(*this);
        Result.reserve(FItems.size());
        for (const TItemPtr& Entry : FItems)
            if (auto* Object = dynamic_cast<TInterfacedObjectKVB*>(Entry.get()))
                Result.emplace_back(Object);
        return Result;
    }
    TIntrusivePtr<TInterfacedObjectKVB> PersistNewItem() const override {
        return TIntrusivePtr<TInterfacedObjectKVB>(dynamic_cast<TInterfacedObjectKVB*>(NewItem().get()));
    }
    void PersistAdd(const TIntrusivePtr<TInterfacedObjectKVB>& AItem) override {
        T* Item = dynamic_cast<T*>(AItem.get());
        if (!Item)
            throw EAssertionFailed(
                QStringLiteral("%1 cannot hold a %2").arg(ClassName(), AItem->ClassName()));
        Add(TItemPtr(Item));
    }

private:
    std::size_t CheckIndex(int AIndex, bool AAllowEnd) const {
        const auto Size = static_cast<int>(FItems.size());
        if (AIndex < 0 || AIndex > Size || (AIndex == Size && !AAllowEnd))
            throw EAssertionFailed(QStringLiteral("List index out of bounds (%1)").arg(AIndex));
        return static_cast<std::size_t>(AIndex);
    }

    std::vector<TItemPtr> FItems;
};

} // namespace pxh

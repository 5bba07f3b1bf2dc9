// Accessors that copy a field under the object's own lock, for the model's shared records.
#pragma once

#include "base/base_interfaces.h"

#include <type_traits>
#include <utility>

#define PXH_LOCKED_GETTER(Class, Type, Name)                                                                 \
    Type Class::Get##Name() const {                                                                          \
        ::pxh::TLockGuard Guard(*this);                                                                      \
        return F##Name;                                                                                      \
    }

// The old value is swapped out under the lock and released after it, in inline code, so that a
// reader's copy and the writer's release are seen to synchronize (Qt's own assignment is opaque to
// ThreadSanitizer).
#define PXH_LOCKED_SETTER(Class, Type, Name)                                                                 \
    void Class::Set##Name(Type AValue) {                                                                     \
        std::remove_cvref_t<Type> Value(AValue);                                                             \
        {                                                                                                    \
            ::pxh::TLockGuard Guard(*this);                                                                  \
            std::swap(F##Name, Value);                                                                       \
        }                                                                                                    \
    }

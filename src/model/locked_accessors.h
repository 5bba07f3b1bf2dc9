// Accessors that copy a field under the object's own lock, for the model's shared records.
#pragma once

#include "base/base_interfaces.h"

#define PXH_LOCKED_GETTER(Class, Type, Name)                                                                 \
    Type Class::Get##Name() const {                                                                          \
        ::pxh::TLockGuard Guard(*this);                                                                      \
        return F##Name;                                                                                      \
    }

#define PXH_LOCKED_SETTER(Class, Type, Name)                                                                 \
    void Class::Set##Name(Type AValue) {                                                                     \
        ::pxh::TLockGuard Guard(*this);                                                                      \
        F##Name = AValue;                                                                                    \
    }

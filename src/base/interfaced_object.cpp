// Reference counting, the destroy-time check and the class names of TInterfacedObjectKVB.
#include "base/interfaced_object.h"

#include "base/logger.h"

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>

namespace pxh {

QString ClassNameOf(const std::type_info& AType) {
    int Status = 0;
    std::unique_ptr<char, void (*)(void*)> Name(abi::__cxa_demangle(AType.name(), nullptr, nullptr, &Status),
                                                std::free);
    QString Text = QString::fromUtf8(Status == 0 && Name ? Name.get() : AType.name());
    // Drop the namespaces of the outermost name, keeping those inside template arguments.
    const qsizetype Angle = Text.indexOf(QLatin1Char('<'));
    const qsizetype Colons = Text.lastIndexOf(QLatin1String("::"), Angle < 0 ? -1 : Angle);
    return Colons < 0 ? Text : Text.mid(Colons + 2);
}

TInterfacedObjectKVB::~TInterfacedObjectKVB() {
    if (FAutoDestroy && FRefCount.load(std::memory_order_acquire) != 0) {
        std::fprintf(stderr, "Invalid pointer operation: %s destroyed with %d references\n",
                     qPrintable(ClassName()), static_cast<int>(FRefCount.load()));
        std::abort();
    }
}

std::int32_t TInterfacedObjectKVB::AddRef() const noexcept {
    return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::int32_t TInterfacedObjectKVB::Release() const noexcept {
    const std::int32_t Count = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (Count == 0) {
        auto* Self = const_cast<TInterfacedObjectKVB*>(this);
        if (FAutoDestroy && FManaged) {
            delete Self;
        } else {
            try {
                Self->DoZeroRefCount();
            } catch (...) {
                ZRLogException(std::current_exception(), QStringLiteral("TInterfacedObjectKVB.Release"));
            }
        }
    }
    return Count;
}

} // namespace pxh

// Names and messages of caught exceptions, for log lines.
#include "base/exception.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace pxh {

namespace {

QString DemangledName(const std::type_info& AType) {
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(AType.name(), nullptr, nullptr, &status), &std::free);
    return QString::fromUtf8(status == 0 && name ? name.get() : AType.name());
}

// Applies AOfStd to the pointed-to exception, or gives AUnknown for an empty pointer or a foreign type.
template <class F>
QString FromPointer(const std::exception_ptr& AException, F AOfStd, const QString& AUnknown) {
    if (!AException)
        return AUnknown;
    try {
        std::rethrow_exception(AException);
    } catch (const std::exception& e) {
        return AOfStd(e);
    } catch (...) {
        return AUnknown;
    }
}

} // namespace

QString ExceptionClassName(const std::exception& AException) {
    if (const auto* own = dynamic_cast<const EPixhoard*>(&AException); own && own->ClassName())
        return QString::fromUtf8(own->ClassName());
    return DemangledName(typeid(AException));
}

QString ExceptionMessage(const std::exception& AException) {
    if (const auto* own = dynamic_cast<const EPixhoard*>(&AException))
        return own->Message();
    return QString::fromUtf8(AException.what());
}

QString ExceptionClassName(const std::exception_ptr& AException) {
    return FromPointer(
        AException, [](const std::exception& e) { return ExceptionClassName(e); },
        QStringLiteral("Exception"));
}

QString ExceptionMessage(const std::exception_ptr& AException) {
    return FromPointer(
        AException, [](const std::exception& e) { return ExceptionMessage(e); },
        QStringLiteral("unknown exception"));
}

} // namespace pxh

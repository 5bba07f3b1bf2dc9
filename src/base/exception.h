// The program's exception base: carries the class name that log lines show.
#pragma once

#include <QString>
#include <exception>
#include <string>

namespace pxh {

class EPixhoard : public std::exception {
public:
    explicit EPixhoard(const QString& AMessage, const char* AClassName = "EPixhoard")
        : FMessage(AMessage)
        , FUtf8(AMessage.toUtf8().toStdString())
        , FClassName(AClassName) {}
    const char* what() const noexcept override { return FUtf8.c_str(); }
    const QString& Message() const noexcept { return FMessage; }
    const char* ClassName() const noexcept { return FClassName; }

private:
    QString FMessage;
    std::string FUtf8;
    const char* FClassName;
};

// Declares a subclass that reports its own name in log lines.
#define PXH_DECLARE_EXCEPTION(Name, Base)                                                                    \
    class Name : public Base {                                                                               \
    public:                                                                                                  \
        explicit Name(const QString& AMessage, const char* AClassName = #Name)                               \
            : Base(AMessage, AClassName) {}                                                                  \
    }

// The silent abort raised by a third Cancel in the caller that cannot take it (never leaves a Qt handler).
PXH_DECLARE_EXCEPTION(EAbort, EPixhoard);

// Class name of any caught exception: our own name, else the demangled type name; "Exception" for
// one not derived from std::exception (and for an empty pointer).
QString ExceptionClassName(const std::exception_ptr& AException);
QString ExceptionClassName(const std::exception& AException);
// Its message; "unknown exception" for one not derived from std::exception.
QString ExceptionMessage(const std::exception_ptr& AException);
QString ExceptionMessage(const std::exception& AException);

} // namespace pxh

// Whole-file reads and writes for the model tests.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace pxh::test {

inline QByteArray ReadWholeFile(const QString& AName) {
    QFile File(AName);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

inline void WriteWholeFile(const QString& AName, const QByteArray& AData) {
    QFile File(AName);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate)) << AName.toStdString();
    ASSERT_EQ(File.write(AData), AData.size());
}

} // namespace pxh::test

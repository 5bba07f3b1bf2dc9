// The support files the program keeps in its data folder: the notification picture, the encoder script
// and the type icons of the upload list.
#pragma once

#include <QString>

namespace pxh {

// Writes the missing files under AFolder (the script always). A file that cannot be written is logged
// with its resource name and the next one is written.
void WriteSupportFiles(const QString& AFolder);

} // namespace pxh

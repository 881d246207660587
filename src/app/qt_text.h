#pragma once
// Text from the program's byte strings to Qt. The store and port files are
// 8-bit text that older tools wrote in their own code page, and the module
// answers in 8-bit text too: bytes that are not UTF-8 are shown as Latin-1,
// so that an "ü" reads as one instead of as replacement marks that an edit
// would then save.

#include <QString>

#include <string>

namespace morvik::app {

QString ToQt(const std::string& text);

}  // namespace morvik::app

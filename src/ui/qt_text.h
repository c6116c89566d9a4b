#pragma once
// Our texts are Windows-1252 bytes; widgets speak QString.

#include <QString>
#include <string>
#include <string_view>

namespace varno::ui {

QString fromCp1252(std::string_view bytes);
std::string toCp1252(const QString& text);

}  // namespace varno::ui

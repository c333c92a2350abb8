#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace torvane::app {

// The core speaks UTF-8 std::string; Qt speaks QString. These two are the only crossings.
inline QString toQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string fromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace torvane::app

#pragma once

#include <QString>
#include <string_view>

namespace chimeon {

// The core's texts are UTF-8; the widgets' are QString.
inline QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace chimeon

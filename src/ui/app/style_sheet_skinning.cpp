#include "ui/app/style_sheet_skinning.h"

#include <QApplication>
#include <QString>

#include "core/app/skin_choice.h"
#include "core/io/file_descriptor.h"

namespace chimeon {

bool StyleSheetSkinning::ApplySkinFile(const std::filesystem::path& file) {
    if (!IsUsableSkinFile(file)) {
        return false;
    }
    auto sheet = ReadFileBytes(file);
    if (!sheet || qApp == nullptr) {
        return false;
    }
    qApp->setStyleSheet(QString::fromUtf8(sheet->data(), static_cast<qsizetype>(sheet->size())));
    return true;
}

void StyleSheetSkinning::Shutdown() {
    if (qApp != nullptr) {
        qApp->setStyleSheet(QString());
    }
}

}  // namespace chimeon

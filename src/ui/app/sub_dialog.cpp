#include "ui/app/sub_dialog.h"

#include <QKeyEvent>

namespace chimeon {

CSubDialog::CSubDialog(int templateId, QWidget* parent) : QWidget(parent), m_nIDD(templateId) {
    setAttribute(Qt::WA_StyledBackground, true);
    hide();
}

bool CSubDialog::CreatePage(int templateId, QWidget* parent) {
    if (m_created) {
        return true;
    }
    m_nIDD = templateId;
    m_pageParent = parent;
    if (parent != nullptr && parentWidget() != parent) {
        setParent(parent);
    }
    if (parent != nullptr) {
        setGeometry(parent->rect());
    }
    hide();
    OnInitDialog();
    m_created = true;
    return true;
}

void CSubDialog::keyPressEvent(QKeyEvent* event) {
    // Keys that reach the page itself were not used by the control with the focus (a multi-line
    // editor takes Enter on its own): they stop here, so no button is pressed and nothing closes.
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace chimeon

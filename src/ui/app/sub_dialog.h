#pragma once

#include <QWidget>

namespace chimeon {

// Base of every page of the main window. A page object exists for the whole run; its window
// content is made by CreatePage, at start-up or on first use. A page never closes itself:
// Escape is swallowed, and Enter never presses a button (a multi-line editor keeps it).
class CSubDialog : public QWidget {
    Q_OBJECT
public:
    explicit CSubDialog(int templateId, QWidget* parent = nullptr);

    // The page's template number (its identity, e.g. 145 for the today page).
    int m_nIDD;

    // Places the page, hidden, over the whole of `parent` and builds its content.
    virtual bool CreatePage(int templateId, QWidget* parent);
    bool IsCreated() const { return m_created; }
    QWidget* pageParent() const { return m_pageParent; }

    // The page's OK and cancel commands; pages that give them a meaning override these.
    virtual void OnOK() {}
    virtual void OnCancel() {}
    // What ending the program now would cut short, in the operator's words ("" for nothing):
    // the main window's exit question says it.
    virtual QString WorkInProgress() const { return {}; }

signals:
    // The login state changed: the main window shows it in its caption.
    void userStateChanged();

protected:
    // Builds the page's controls; runs once, from CreatePage.
    virtual void OnInitDialog() {}
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* m_pageParent = nullptr;
    bool m_created = false;
};

}  // namespace chimeon

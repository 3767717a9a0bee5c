#include "ui/ac_edit.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>

CACEdit::CACEdit(QObject* parent) : QObject(parent) {}

int CACEdit::iInit(QWidget* control) {
    if (m_pListWnd != nullptr) {
        return -2;
    }
    auto* combo = qobject_cast<QComboBox*>(control);
    QLineEdit* edit = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(control);
    if (edit == nullptr) {
        return -1;
    }
    m_pEdit = edit;
    m_pCombo = combo;
    m_pListWnd = new CACListWnd(control);
    connect(edit, &QLineEdit::textEdited, this, &CACEdit::vOnTextEdited);
    connect(m_pListWnd, &CACListWnd::sigItemTaken, this, [this](const QString& text) {
        vPutText(text);
        emit sigItemTaken(text);
    });
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive && m_pListWnd != nullptr) {
                    m_pListWnd->vHideList();
                }
            });
    edit->installEventFilter(this);
    if (combo != nullptr) {
        combo->view()->installEventFilter(this);
    }
    return 0;
}

void CACEdit::vAddItem(const QString& text) {
    if (m_pListWnd != nullptr) {
        m_pListWnd->vAddItem(text);
    }
}

void CACEdit::vOnTextEdited(const QString& text) {
    emit sigTextEdited(text);
    if (text.isEmpty()) {
        m_pListWnd->vHideList();
    } else {
        m_pListWnd->vShowList();
    }
}

void CACEdit::vPutText(const QString& text) {
    m_pEdit->setText(text);
    m_pEdit->setCursorPosition(static_cast<int>(text.size()));
    m_pEdit->setModified(true);
}

bool CACEdit::fgOnKey(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            m_pListWnd->vHideList();
            return false;
        case Qt::Key_Escape:
            m_pListWnd->vHideList();
            return true;
        default:
            if (!m_pListWnd->fgMoveHighlight(key)) {
                return false;
            }
            vPutText(m_pListWnd->strHighlighted());
            return true;
    }
}

bool CACEdit::eventFilter(QObject* watched, QEvent* event) {
    if (m_pListWnd == nullptr || m_pEdit == nullptr) {
        return QObject::eventFilter(watched, event);
    }
    if (watched == m_pEdit) {
        if (event->type() == QEvent::KeyPress && m_pListWnd->isVisible()) {
            return fgOnKey(static_cast<QKeyEvent*>(event)->key());
        }
        // A click into the list may take the focus away on some window systems; the
        // list stays for that click.
        if (event->type() == QEvent::FocusOut &&
            !m_pListWnd->frameGeometry().contains(QCursor::pos())) {
            m_pListWnd->vHideList();
        }
    } else if (m_pCombo != nullptr && watched == m_pCombo->view() &&
               event->type() == QEvent::Show) {
        m_pListWnd->vHideList();
    }
    return QObject::eventFilter(watched, event);
}

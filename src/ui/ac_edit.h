#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "ui/ac_list_wnd.h"

class QComboBox;
class QLineEdit;

// Turns an edit box (or an editable combo box) into an edit with a drop-down list of
// remembered texts, the saved passwords of the main window's password box and of the
// Wi-Fi connect dialog.
//
// Whenever the operator changes the text, the list shows every item (not only those
// matching the text), sorted case-insensitively, below the control; an emptied text
// hides it. While the list is shown: Up, Down, Page Up, Page Down, Home and End move
// the highlight and put the highlighted item into the control at once (caret after
// it, control marked modified); Enter hides the list and goes on to the dialog as
// usual (so a dialog's OK still runs); Escape only hides the list. The list also
// hides when the control loses the focus, when the combo box's own drop-down opens,
// when the application is deactivated and when the control's window moves or changes
// size (checked every 200 ms). UI thread only.
class CACEdit : public QObject {
    Q_OBJECT

  public:
    explicit CACEdit(QObject* parent = nullptr);

    // Makes `control` an autocomplete edit: a QLineEdit, or a QComboBox whose inner
    // edit is used. Creates the list window (200 x 180 pixels at the control, hidden).
    // 0 on success; -1 when the control is neither (nothing changes); -2 when it is
    // already initialised.
    int iInit(QWidget* control);

    // Appends a text to the item list (shown from the next change of the text on).
    void vAddItem(const QString& text);

    // The list window (nullptr before iInit). The main window uses it to tell clicks
    // in the list from clicks elsewhere.
    CACListWnd* pListWnd() const { return m_pListWnd; }

  signals:
    // The operator changed the text (not the control itself).
    void sigTextEdited(const QString& text);
    // An item was taken with a click; it is in the control already.
    void sigItemTaken(const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void vOnTextEdited(const QString& text);
    void vPutText(const QString& text);
    bool fgOnKey(int key);

    QPointer<QLineEdit> m_pEdit;
    QPointer<QComboBox> m_pCombo;
    QPointer<CACListWnd> m_pListWnd;
};

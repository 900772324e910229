#pragma once

#include <QLineEdit>

class QPushButton;

// The preview-text field with the button that opens the sample menu. Its edit ends on
// Return or when the field loses focus, and only when the user changed the text, so a
// menu label shown in it never turns into typed text.
class MLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit MLineEdit(QWidget *parent = nullptr);

    // Shows a text that the user did not type (the menu's label).
    void showLabel(const QString &text);
    bool isEdited() const { return m_edited; }
    QPushButton *dropButton() const { return m_dropBt; }

signals:
    void editDone();
    void dropMenu();
    void loseFocus();

public slots:
    void onDrop();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void finishEdit();

    QPushButton *m_dropBt;
    bool m_edited = false;
};

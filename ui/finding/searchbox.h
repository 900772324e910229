#pragma once

#include <QLineEdit>

class QPushButton;

// The search field: a search button at its left, a clear button at its right while it
// holds text. Return asks for the search; the window decides what it means.
class SearchBox : public QLineEdit
{
    Q_OBJECT

public:
    explicit SearchBox(QWidget *parent = nullptr);

    QPushButton *searchButton() const { return m_searchBt; }
    QPushButton *clearButton() const { return m_clearBt; }

signals:
    void askSearch();
    void doubleClick();
    void loseFocus();
    void msgCloseSearch();

public slots:
    void onsearch(bool checked = false);
    void onClearBt();
    void onTextChanged(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPushButton *m_searchBt;
    QPushButton *m_clearBt;
};

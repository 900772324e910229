#pragma once

#include <QList>
#include <QWidget>

class BtLabel;
class QLabel;

// Base of the notices that stand in for an empty page: a picture above one or two
// centred lines of text, some parts of which are links. Everything is laid out again
// around the page centre whenever the page is resized.
class WarnPage : public QWidget
{
    Q_OBJECT

public:
    static const char *const kTextColour;
    static const char *const kLinkColour;

protected:
    // pictureStyle is the picture label's whole style sheet.
    WarnPage(const QString &pictureStyle, QWidget *parent);

    // Appends a plain part or a link to line 0 or 1.
    QLabel *addText(int line, const QString &text, const char *colour = kTextColour);
    BtLabel *addLink(int line, const QString &text);

    void resizeEvent(QResizeEvent *event) override;

private:
    QLabel *append(int line, QLabel *label, const char *colour);
    void relayout();

    double m_scale;
    QLabel *m_picture;
    QList<QLabel *> m_lines[2];
};

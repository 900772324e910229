#pragma once

#include <QFont>
#include <QWidget>

// One text at a row of sizes from 8 to 72 pt, each line labelled with its size.
class Waterfall : public QWidget
{
    Q_OBJECT

public:
    static const QVector<int> &pointSizes();

    explicit Waterfall(QWidget *parent = nullptr);
    void setContent(const QFont &font, const QString &text);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int lineHeight(int points) const;

    QFont m_font;
    QString m_text;
};

#pragma once

#include <QList>
#include <QPair>
#include <QRect>
#include <QWidget>

class QStackedWidget;

// The first-run guide: three half-dark pages over the window, each pointing at a part
// of it, each with an "I know" picture that leads on. Presses anywhere else are left
// to the window under the guide, which drags itself with them.
class GuideForm : public QWidget
{
    Q_OBJECT

public:
    // Height the child geometry below is drawn for; it scales with the guide's height.
    static constexpr int kDesignHeight = 647;

    explicit GuideForm(QWidget *parent = nullptr);
    int currentPage() const;

signals:
    // The guide was closed, by its last page or any other way.
    void closeForm();

public slots:
    void onKnowCloud();
    void onKnowLove();
    void onKnowLocal();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QStackedWidget *m_pages;
    QList<QPair<QWidget *, QRect>> m_design;
};

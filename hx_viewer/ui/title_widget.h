#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The title bar of popups and small windows: a logo or a title on the left and
// a close button on the right. The owner connects the close button itself.
class TitleWidget : public QWidget
{
    Q_OBJECT

public:
    TitleWidget(QWidget *parent, const QString &title, const QString &logo, bool closeButton = true);

    QPushButton *closeButton() const { return m_closeButton; }
    QLabel *titleLabel() const { return m_titleLabel; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_titleLabel = nullptr;
    QPushButton *m_closeButton = nullptr;
};

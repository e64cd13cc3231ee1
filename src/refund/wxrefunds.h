#pragma once

#include <QWidget>

// The refund window. So far only its place in the program: created once at start-up and
// shown from the tray.
class wxRefunds : public QWidget
{
    Q_OBJECT
public:
    explicit wxRefunds(QWidget *parent = nullptr);

public slots:
    void ShowDialog();
    void KeyShow();
};

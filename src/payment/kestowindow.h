#pragma once

#include <QWidget>

// The pay window. So far only its place in the program: created once at start-up, shown
// from the tray with the merchant's title, hidden by its close button.
class KestoWindow : public QWidget
{
    Q_OBJECT
public:
    explicit KestoWindow(QWidget *parent = nullptr);
};

#pragma once

#include <QMainWindow>

class Kesto : public QMainWindow
{
    Q_OBJECT
public:
    explicit Kesto(QWidget *parent = nullptr);
};

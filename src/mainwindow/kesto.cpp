#include "mainwindow/kesto.h"

Kesto::Kesto(QWidget *parent) : QMainWindow(parent) {}

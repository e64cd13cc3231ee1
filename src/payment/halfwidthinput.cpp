#include "payment/halfwidthinput.h"

#include <QEvent>
#include <QLineEdit>

void HalfWidthInput::attach(QLineEdit *field)
{
    auto *input = new HalfWidthInput(field);
    field->setValidator(input);
    field->setAttribute(Qt::WA_InputMethodEnabled, false);
    field->installEventFilter(input);
}

QString HalfWidthInput::folded(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)
            c = QChar(u'0' + (c.unicode() - 0xFF10));
        else if (c.unicode() == 0xFF0E || c.unicode() == 0x3002)
            c = QLatin1Char('.');
    }
    return result;
}

// Folding is all it does: whatever the text holds is for the window to judge.
QValidator::State HalfWidthInput::validate(QString &input, int &) const
{
    input = folded(input);
    return Acceptable;
}

// A line edit turns the input method back on whenever it stops being read-only.
bool HalfWidthInput::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ReadOnlyChange)
        static_cast<QWidget *>(watched)->setAttribute(Qt::WA_InputMethodEnabled, false);
    return false;
}

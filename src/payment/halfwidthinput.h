#pragma once

#include <QValidator>

class QLineEdit;

// The fields that take amounts, payment codes and order numbers take them in ASCII, whatever the
// input method: on a Chinese desktop left in full-width mode every key, the scanner's included,
// would arrive as a full-width character that no amount check or service accepts.
class HalfWidthInput : public QValidator
{
public:
    // The field takes no part in input-method composition (on Windows the input method is detached
    // while it has the focus), and full-width digits and full stops that still arrive, typed, set
    // or pasted, are folded before anything else sees the text.
    static void attach(QLineEdit *field);

    // U+FF10 to U+FF19 as 0 to 9, U+FF0E and U+3002 as "."; anything else as it is.
    static QString folded(const QString &text);

    State validate(QString &input, int &pos) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QValidator::QValidator;
};

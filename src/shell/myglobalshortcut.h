#pragma once

#include "platform/platformintegration.h"

#include <QAbstractNativeEventFilter>
#include <QKeySequence>
#include <QObject>
#include <QSet>

class MyGlobalShortCut;

// Offers the native events to one shortcut object. Each object has its own filter, and each
// filter claims only the combinations in its owner's table.
class MyWinEventFilter : public QAbstractNativeEventFilter
{
public:
    explicit MyWinEventFilter(MyGlobalShortCut *owner);
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

private:
    MyGlobalShortCut *m_Owner;
};

// One system-wide hotkey: calls up a window from anywhere on the desktop, also while another
// program has the focus.
class MyGlobalShortCut : public QObject
{
    Q_OBJECT
public:
    enum Outcome {
        Cleared,      // empty or unparsable text: nothing registered
        Registered,   //
        Unsupported,  // the key is not in the table, or the desktop has no global keys
        Taken,        // another program holds the combination
        Duplicate,    // the other hotkey already has it (told by SetKeys)
        NoModifier,   // neither Ctrl, Alt nor Meta, and no F1 to F11 alone: refused, never grabbed
        PayWindowKey, // one of the pay window's own keys: refused, never grabbed
    };

    explicit MyGlobalShortCut(QObject *parent = nullptr);
    ~MyGlobalShortCut() override;

    // The text is a key sequence in portable form, as the setup dialog stores it; only its first
    // chord counts. Setup and start-up both come through here, so a refused key stored in the
    // settings is refused again at every start.
    Outcome setShortcut(const QString &key);
    bool unsetShortcut();
    bool isRegistered() const { return !m_Table.isEmpty(); }
    QKeySequence shortcut() const { return m_Key; }

    // Whether two key texts name one combination, found before grabbing: on X11 a second grab by
    // the same program succeeds and silently replaces the first.
    static bool sameCombination(const QString &first, const QString &second);

signals:
    void activated();

private:
    friend class MyWinEventFilter;

    QSet<NativeHotkey> m_Table; // the combination this object holds, if any
    QKeySequence m_Key;
    MyWinEventFilter *m_Filter;
};

// What became of the two keys of one SetKeys call.
struct KeysOutcome
{
    MyGlobalShortCut::Outcome pay = MyGlobalShortCut::Cleared;
    MyGlobalShortCut::Outcome refund = MyGlobalShortCut::Cleared;
};

#pragma once

class QApplication;
class QTranslator;

// Before the application object exists: the windows scale as a whole with the display's scaling
// (125 % and 150 % exactly, not rounded to 100 % or 200 %), and bitmaps come at twice the size where
// there is one. The user's own QT_* scaling variables still override this.
void enableDisplayScaling();

// Makes the compiled-in resources available; the library is static, so its resource
// initialisers must be referenced explicitly.
void initResources();

// Everything global about how the program looks and reads: text codec, locale, style sheet,
// application font, the toolkit's Chinese texts and the window icon.
void applyLookAndFeel(QApplication &app, QTranslator &translator);

// Called once the windows are made. Qt polishes every new widget in the event loop's first turn:
// the style sheet's work for windows the cashier may not open for hours, done before the tray's
// balloon is drawn. In that turn hidden windows are left alone; each is polished when first shown,
// as any widget shown before its turn is.
void polishHiddenWindowsOnShow(QApplication &app);

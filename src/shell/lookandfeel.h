#pragma once

class QApplication;
class QTranslator;

// Makes the compiled-in resources available; the library is static, so its resource
// initialisers must be referenced explicitly.
void initResources();

// Everything global about how the program looks and reads: text codec, locale, style sheet,
// application font, the toolkit's Chinese texts and the window icon.
void applyLookAndFeel(QApplication &app, QTranslator &translator);

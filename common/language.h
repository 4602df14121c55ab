#pragma once

class QCoreApplication;

// The program shows Polish texts when the system locale's language is Polish and English
// texts otherwise. The source texts are English; Polish comes from the embedded translation.
namespace Language {

bool isPolish();

// Installs the Polish translations on the application when the system locale asks for
// Polish, the program's own and Qt's (for its dialogs); English needs none. Call it before
// any window exists, since windows translate their texts when they are built. Returns whether
// the program's translation is in place.
bool installTranslator(QCoreApplication &app);

} // namespace Language

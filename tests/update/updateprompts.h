#pragma once

#include <QList>

class QPushButton;
class UpdateWindow;

// The update prompts that exist right now, shown or hidden.
QList<UpdateWindow *> updatePrompts();

// A prompt's button by its text; null if there is none.
QPushButton *promptButton(UpdateWindow *prompt, const char *text);

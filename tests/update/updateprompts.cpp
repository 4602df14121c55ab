#include "updateprompts.h"

#include "updatewindow.h"

#include <QApplication>
#include <QPushButton>

QList<UpdateWindow *> updatePrompts()
{
    QList<UpdateWindow *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *prompt = qobject_cast<UpdateWindow *>(widget))
            found.append(prompt);
    }
    return found;
}

QPushButton *promptButton(UpdateWindow *prompt, const char *text)
{
    for (QPushButton *button : prompt->findChildren<QPushButton *>()) {
        if (button->text() == QLatin1String(text))
            return button;
    }
    return nullptr;
}

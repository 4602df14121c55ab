#pragma once

#include <QString>

// The program shows Polish texts when the system locale's language is Polish and English
// texts otherwise. No translator is involved: each window passes both texts of an element.
namespace Language {

bool isPolish();

// Both arguments are UTF-8 literals.
QString pick(const char *polish, const char *english);

} // namespace Language

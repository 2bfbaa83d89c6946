// Renders a form to screens/<form>-en.png or screens/<form>-zh.png in the build tree, so that a
// reviewer can look at every window without starting a program.
#pragma once
#include <QString>

class QWidget;

// Lays the widget out at its current (or suggested) size, renders it and writes the image.
// Returns the path written, or an empty text when it could not be written.
QString SaveScreen(QWidget* form, const QString& formName, int languageIndex);

// The images of the configuration program's windows, drawn in code so that no image file is
// needed beside the program.
#pragma once
#include <QPixmap>
#include <QString>

// The image of a key: "Panel" (16 x 16, the items of the project and workstation pickers),
// "ProjName", "NodeClose" and "NodeOpen" (16 x 16, the nodes of the project tree) or "Program"
// (32 x 32, the program's icon). An unknown key gives a null image.
QPixmap ConfigImage(const QString& key);

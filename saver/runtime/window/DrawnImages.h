// The window's small pictures, painted in code.
#pragma once
#include <QPixmap>

namespace DrawnImages {
QPixmap Online();       // link to the HMI system up
QPixmap Offline();      // link lost
QPixmap RoleWithTag();  // tag view: a role played by a tag
QPixmap RoleEmpty();    // tag view: a role without a tag
QPixmap ProgramIcon();  // the About box
}  // namespace DrawnImages

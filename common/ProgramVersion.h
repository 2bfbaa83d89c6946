// The programs' version and legal notice. The version comes from the project version: a program
// that includes this file defines LEDGRIX_VERSION_MAJOR, _MINOR and _PATCH.
#pragma once
#include <QString>

#ifndef LEDGRIX_VERSION_MAJOR
#error "LEDGRIX_VERSION_MAJOR, _MINOR and _PATCH come from the project version"
#endif

// The version, "major.minor.revision".
inline QString ProgramVersionText() {
    return QStringLiteral("%1.%2.%3")
        .arg(LEDGRIX_VERSION_MAJOR)
        .arg(LEDGRIX_VERSION_MINOR)
        .arg(LEDGRIX_VERSION_PATCH);
}

// The legal notice of the About boxes.
inline QString ProgramLegalNotice() {
    return QStringLiteral(
        "Copyright (C) The Ledgrix developers. All rights reserved.\n"
        "This program is protected by copyright law. Unauthorized reproduction or distribution of "
        "this program, or any portion of it, may result in civil and criminal penalties.");
}

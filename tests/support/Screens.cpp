#include "tests/support/Screens.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

QString SaveScreen(QWidget* form, const QString& formName, int languageIndex) {
    if (!form) return {};
    const QString dir = QStringLiteral(LEDGRIX_SCREENS_DIR);
    if (!QDir().mkpath(dir)) return {};
    form->ensurePolished();
    if (!form->isVisible() && form->size().isEmpty()) form->resize(form->sizeHint());
    QApplication::processEvents();
    const QString path =
        dir + u'/' + formName + (languageIndex == 1 ? QStringLiteral("-zh.png") : QStringLiteral("-en.png"));
    return form->grab().save(path) ? path : QString();
}

#include "tests/support/Dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

NextModal::NextModal(std::function<void(QDialog&)> action)
    : action_(std::move(action)), before_(QApplication::activeModalWidget()) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
}

NextModal::~NextModal() {
    timer_.stop();
    if (!ran_) ADD_FAILURE() << "no modal dialog showed";
}

void NextModal::Poll() {
    QWidget* top = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<QDialog*>(top);
    if (!dialog || top == before_ || !dialog->isVisible()) return;
    timer_.stop();
    ran_ = true;
    try {
        action_(*dialog);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "while driving " << dialog->objectName().toStdString() << ": " << e.what();
    }
    if (dialog->isVisible()) {
        ADD_FAILURE() << "the dialog " << dialog->objectName().toStdString() << " stayed open";
        dialog->reject();
        if (dialog->isVisible()) dialog->hide();
    }
}

void Click(QWidget& form, const QString& name) {
    Child<QAbstractButton>(form, name).click();
}

void SetText(QWidget& form, const QString& name, const QString& text) {
    if (auto* edit = form.findChild<QLineEdit*>(name)) {
        edit->setText(text);
        emit edit->textEdited(text);
        return;
    }
    Child<QComboBox>(form, name).setEditText(text);
}

QString TextOf(QWidget& form, const QString& name) {
    QWidget& w = Child<QWidget>(form, name);
    if (auto* label = qobject_cast<QLabel*>(&w)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(&w)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(&w)) return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(&w)) return combo->currentText();
    if (auto* frame = qobject_cast<QGroupBox*>(&w)) return frame->title();
    return w.windowTitle();
}

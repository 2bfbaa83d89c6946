// Drives the pages of the database setup wizard in headless tests: each step runs on the next
// page that shows, which must be the named form, and must end that page (Next, Previous,
// Cancel, Finish); the wizard's loop then shows the next one.
#pragma once
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "common/SettingUtil.h"
#include "tests/support/Dialogs.h"

class WizardDriver {
  public:
    using Step = std::pair<QString, std::function<void(QDialog&)>>;
    explicit WizardDriver(std::vector<Step> steps) : steps_(std::move(steps)) { Arm(); }

  private:
    void Arm() {
        if (next_ >= steps_.size()) return;
        Step step = steps_[next_++];
        armed_.push_back(std::make_unique<NextModal>([this, step](QDialog& page) {
            EXPECT_EQ(page.objectName(), step.first);
            step.second(page);
            Arm();
        }));
    }

    std::vector<Step> steps_;
    size_t next_ = 0;
    std::vector<std::unique_ptr<NextModal>> armed_;
};

// Chooses a database type on the first page by its type name, as a click in the list would.
inline void ChooseType(QDialog& page, const QString& typeName) {
    auto& list = Child<QComboBox>(page, QStringLiteral("cmbDBTypeName"));
    const auto t = SettingUtil::FindDBSettingsByTypeName(typeName);
    list.setCurrentIndex(t ? list.findText(t->DBTypeDsc) : -1);
    emit list.activated(list.currentIndex());
}

// The texts of a list's column.
inline QStringList Column(QDialog& page, const QString& list, int column = 0) {
    auto& lv = Child<QTreeWidget>(page, list);
    QStringList texts;
    for (int i = 0; i < lv.topLevelItemCount(); ++i) texts << lv.topLevelItem(i)->text(column);
    return texts;
}

// Highlights the rows of a list whose first column is one of the names.
inline void Highlight(QDialog& page, const QString& list, const QStringList& names) {
    auto& lv = Child<QTreeWidget>(page, list);
    lv.clearSelection();
    for (int i = 0; i < lv.topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lv.topLevelItem(i);
        if (!names.contains(item->text(0))) continue;
        lv.setCurrentItem(item, 0, QItemSelectionModel::Select);
    }
}

// Double-clicks the row of a list whose first column is the name.
inline void DoubleClick(QDialog& page, const QString& list, const QString& name) {
    Highlight(page, list, {name});
    auto& lv = Child<QTreeWidget>(page, list);
    emit lv.itemDoubleClicked(lv.currentItem(), 0);
}

// The named controls of a page that do not lie wholly inside it, or that overlap the list (its
// scroll bar included), as the window shows them.
inline QStringList CoveredOrOutside(QDialog& page, const QString& list) {
    const QRect inside = page.rect();
    auto& lv = Child<QTreeWidget>(page, list);
    const QRect listRect(lv.mapTo(&page, QPoint(0, 0)), lv.size());
    QStringList faults;
    for (QWidget* w : page.findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || !w->isVisible()) continue;
        const QRect r(w->mapTo(&page, QPoint(0, 0)), w->size());
        if (!inside.contains(r)) faults << name + QStringLiteral(" outside");
        if (w != &lv && !w->isAncestorOf(&lv) && !lv.isAncestorOf(w) && r.intersects(listRect))
            faults << name + QStringLiteral(" over ") + list;
    }
    return faults;
}

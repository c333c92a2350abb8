#include "app/preset_tree.h"

#include <QApplication>
#include <QSignalBlocker>
#include <QStyle>
#include <filesystem>

#include "app/qt_text.h"
#include "settings/preset_folder.h"

namespace torvane::app {
namespace {

constexpr int kNumberRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;

std::string normalPath(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

// Whether path lies inside folder (a group that may hold the preset).
bool isInside(const std::string& path, const std::string& folder) {
    const std::string prefix = normalPath(folder) + "/";
    return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
}

QIcon iconFor(PresetTree::ItemKind kind) {
    QStyle* style = QApplication::style();
    if (kind == PresetTree::ItemKind::Group) {
        QIcon icon = style->standardIcon(QStyle::SP_DirClosedIcon);
        icon.addPixmap(style->standardPixmap(QStyle::SP_DirOpenIcon), QIcon::Normal, QIcon::On);
        return icon;
    }
    return style->standardIcon(QStyle::SP_FileIcon);
}

}  // namespace

PresetTree::PresetTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { expandGroup(item); });
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
        if (current != nullptr && kindOf(current) == ItemKind::Preset) emit presetSelected(toQt(pathOf(current)));
    });
}

QTreeWidgetItem* PresetTree::newItem(ItemKind kind, const std::string& text, const std::string& path) {
    ++itemCounter_;
    presetPaths_[itemCounter_] = path;
    auto* item = new QTreeWidgetItem;
    item->setText(0, toQt(text));
    item->setToolTip(0, toQt(text));
    item->setIcon(0, iconFor(kind));
    item->setData(0, kNumberRole, itemCounter_);
    item->setData(0, kKindRole, static_cast<int>(kind));
    if (kind == ItemKind::Group) item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void PresetTree::populatePresetTree(const std::string& presetFolder) {
    const PresetFolderLevel level = readPresetFolder(presetFolder);
    for (const PresetGroup& group : level.groups) {
        QTreeWidgetItem* item = newItem(ItemKind::Group, group.name, group.path);
        addTopLevelItem(item);
        if (isGroupExpandedAtStart(group.name)) {
            item->setExpanded(true);
            if (QTreeWidgetItem* first = topLevelItem(0)) {
                first->setExpanded(false);
                setCurrentItem(first);
                first->setExpanded(true);
            }
        }
    }
    for (const Preset& preset : level.presets)
        addTopLevelItem(newItem(ItemKind::Preset, preset.displayName, preset.path));
}

void PresetTree::expandGroup(QTreeWidgetItem* group) {
    if (group->childCount() > 0 || kindOf(group) != ItemKind::Group) return;
    const PresetFolderLevel level = readPresetFolder(pathOf(group));
    for (const PresetGroup& sub : level.groups) group->addChild(newItem(ItemKind::Group, sub.name, sub.path));
    for (const Preset& preset : level.presets) {
        group->addChild(newItem(ItemKind::Preset, preset.displayName, preset.path));
    }
    // An empty folder loses its expand button once it has been looked into.
    if (group->childCount() == 0) group->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool PresetTree::showPreset(const std::string& path) {
    QTreeWidgetItem* found = findPreset(invisibleRootItem(), normalPath(path));
    if (found == nullptr) return false;
    for (QTreeWidgetItem* group = found->parent(); group != nullptr; group = group->parent()) group->setExpanded(true);
    const QSignalBlocker quiet(this);
    setCurrentItem(found);
    scrollToItem(found);
    return true;
}

QTreeWidgetItem* PresetTree::findPreset(QTreeWidgetItem* group, const std::string& path) {
    // A group is read only when the preset lies inside its folder, as opening it by hand would.
    if (group != invisibleRootItem()) expandGroup(group);
    for (int i = 0; i < group->childCount(); ++i) {
        QTreeWidgetItem* child = group->child(i);
        const std::string childPath = normalPath(pathOf(child));
        if (kindOf(child) == ItemKind::Preset) {
            if (childPath == path) return child;
        } else if (isInside(path, childPath)) {
            if (QTreeWidgetItem* found = findPreset(child, path)) return found;
        }
    }
    return nullptr;
}

std::string PresetTree::pathOf(const QTreeWidgetItem* item) const {
    const auto found = presetPaths_.find(numberOf(item));
    return found == presetPaths_.end() ? std::string() : found->second;
}

PresetTree::ItemKind PresetTree::kindOf(const QTreeWidgetItem* item) {
    return static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

int PresetTree::numberOf(const QTreeWidgetItem* item) {
    return item->data(0, kNumberRole).toInt();
}

}  // namespace torvane::app

#pragma once

#include <QTreeWidget>
#include <map>
#include <string>

namespace torvane::app {

// The preset folder as a tree: folders are groups, every other file a preset shown by its
// profile's info_subject. Only the top level is read at start; a group is read the first time
// it opens, once per run of the program.
class PresetTree : public QTreeWidget {
    Q_OBJECT

public:
    enum class ItemKind { Group, Preset };

    explicit PresetTree(QWidget* parent = nullptr);

    // Builds the top level: groups first, then presets lying directly in the folder. The two
    // usual groups open at once, and the first top-level item becomes the selected one.
    void populatePresetTree(const std::string& presetFolder);

    // Selects the preset item standing for path, opening the groups above it, without
    // announcing it as a choice: the settings are already loaded. False when no item stands for it.
    bool showPreset(const std::string& path);

    // The path an item stands for (a folder for a group, a file for a preset).
    std::string pathOf(const QTreeWidgetItem* item) const;
    static ItemKind kindOf(const QTreeWidgetItem* item);
    // The number an item was given; numbers start at 1 and are never reused.
    static int numberOf(const QTreeWidgetItem* item);

signals:
    // The selection moved to a preset item.
    void presetSelected(const QString& profilePath);

private:
    void expandGroup(QTreeWidgetItem* group);
    QTreeWidgetItem* findPreset(QTreeWidgetItem* group, const std::string& path);
    QTreeWidgetItem* newItem(ItemKind kind, const std::string& text, const std::string& path);

    std::map<int, std::string> presetPaths_;
    int itemCounter_ = 0;
};

}  // namespace torvane::app

#pragma once

#include <QDialog>
#include <cstddef>
#include <string>

namespace torvane::app {

// What "저장 폴더열기" shows: the converted file selected in its folder, or a folder.
struct FinishFolderTarget {
    std::string path;
    bool selectFile = false;
};

// A run of exactly one item whose converted file still exists shows that file; every other
// run (and a file deleted since) opens the output folder field's folder.
FinishFolderTarget finishFolderTarget(const std::string& lastOutputPath, std::size_t runItemCount,
                                      const std::string& outputFolderField);

// "안내": the congratulation at the end of a run, with a button that shows the converted files.
class FinishDialog : public QDialog {
    Q_OBJECT

public:
    FinishDialog(FinishFolderTarget target, QWidget* parent = nullptr);

private:
    void openTarget();

    FinishFolderTarget target_;
};

}  // namespace torvane::app

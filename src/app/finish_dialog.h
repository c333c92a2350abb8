#pragma once

#include <QDialog>
#include <cstddef>
#include <string>
#include <vector>

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

// A file the run could not convert, and why.
struct FailedFile {
    std::string name;
    std::string reason;
};

// "안내": the congratulation at the end of a run, with a button that shows the converted files.
// When files failed it says how many instead, and lists each with its reason in a text that
// can be read and copied.
class FinishDialog : public QDialog {
    Q_OBJECT

public:
    FinishDialog(FinishFolderTarget target, std::vector<FailedFile> failures = {}, int succeeded = 0,
                 QWidget* parent = nullptr);

private:
    void openTarget();

    FinishFolderTarget target_;
};

}  // namespace torvane::app

#pragma once

#include <QDialog>

namespace torvane {
class OptionStore;
}

namespace torvane::app {

class WebPanel;

// "프로그램 안내": the program's name and version above the about page of the support server,
// which is asked for in the dialog's own face colour. Without a browser control the dialog still
// opens, without the page.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    // The browser view is looked for in the program folder.
    AboutDialog(const OptionStore& options, const QString& programFolder, QWidget* parent);

    WebPanel* page() const { return page_; }

protected:
    // A press anywhere outside the controls moves the dialog, as on its title bar.
    void mousePressEvent(QMouseEvent* event) override;

private:
    WebPanel* page_ = nullptr;
};

}  // namespace torvane::app

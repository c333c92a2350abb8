#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>

namespace torvane {
class OptionStore;
}

namespace torvane::app {

// What Qt's browser control needs before the application object exists: no Chromium sandbox for
// root, which Chromium refuses to run with one, and shared GL contexts. The GL contexts cost a
// start about 100 ms, so they are made only when pages will be shown (forPages); without them
// the browser control cannot be made and the pages are left out.
void prepareBrowserControl(bool forPages);

// Whether the stored switches turn on a panel of the main window ("ad" or "ad2" exactly "y").
bool windowPanelsSwitchedOn(const OptionStore& options);

// Whether Qt's browser control can be made here: the program prepared for it, its helper
// process is installed (making one without it would end the program) and our module with the
// browser view is in the program folder.
bool browserControlAvailable(const QString& programFolder);

// A page of the support server inside a window area: the browser fills the panel and loads its
// address the first time the panel is shown, when its size (part of the address) is known. Pages
// cannot open dialogs (alerts, confirmations, prompts): the panel stays silent. Make one only
// when browserControlAvailable().
class WebPanel : public QWidget {
    Q_OBJECT

public:
    using AddressForSize = std::function<QUrl(QSize size)>;

    // withFormHeader: the request carries "Content-Type: application/x-www-form-urlencoded".
    WebPanel(const QString& programFolder, AddressForSize address, bool withFormHeader, QWidget* parent = nullptr);

    // The address loaded, empty until the panel was first shown.
    QUrl address() const { return loaded_; }
    // The browser view, once loaded; nullptr before, or when the module could not be loaded.
    QWidget* view() const { return view_; }

signals:
    void addressLoaded(const QUrl& address);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString programFolder_;
    AddressForSize addressForSize_;
    bool withFormHeader_ = false;
    QWidget* view_ = nullptr;
    QUrl loaded_;
};

}  // namespace torvane::app

#include "app/web_panel.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QVBoxLayout>
#include <QWebEngineHttpRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace torvane::app {
namespace {

// Script errors and page dialogs are swallowed, as a panel inside our window must never pop up
// a box of its own.
class SilentPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
};

}  // namespace

void prepareBrowserControl() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

bool browserControlAvailable() {
    const QByteArray configured = qgetenv("QTWEBENGINEPROCESS_PATH");
    const QString helper = configured.isEmpty()
                               ? QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + "/QtWebEngineProcess"
                               : QString::fromLocal8Bit(configured);
    return QFileInfo(helper).isExecutable();
}

WebPanel::WebPanel(AddressForSize address, bool withFormHeader, QWidget* parent)
    : QWidget(parent), addressForSize_(std::move(address)), withFormHeader_(withFormHeader) {
    setObjectName(QStringLiteral("webPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void WebPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (view_ != nullptr) return;
    view_ = new QWebEngineView;
    view_->setPage(new SilentPage(view_));
    // The panels are sized for their pages; scroll bars would only eat into them.
    view_->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    layout()->addWidget(view_);

    loaded_ = addressForSize_(size());
    QWebEngineHttpRequest request(loaded_);
    if (withFormHeader_) {
        request.setHeader(QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/x-www-form-urlencoded"));
    }
    view_->load(request);
    emit addressLoaded(loaded_);
}

}  // namespace torvane::app

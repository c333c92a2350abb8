#include "app/web_panel.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QLibraryInfo>
#include <QVBoxLayout>

#include "settings/option_store.h"

namespace torvane::app {
namespace {

constexpr char kModuleName[] = "torvane_web_view.so";

using CreateWebView = QWidget* (*)(const QUrl* address, bool withFormHeader);

QString modulePath(const QString& programFolder) {
    return programFolder + "/" + kModuleName;
}

// Loaded once, on the first page shown, and kept for the rest of the program.
CreateWebView loadCreateWebView(const QString& programFolder) {
    QLibrary module(modulePath(programFolder));
    module.setLoadHints(QLibrary::ExportExternalSymbolsHint);
    return reinterpret_cast<CreateWebView>(module.resolve("torvaneCreateWebView"));
}

}  // namespace

void prepareBrowserControl(bool forPages) {
    if (forPages) QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

bool windowPanelsSwitchedOn(const OptionStore& options) {
    return options.getOption("ad", "n") == "y" || options.getOption("ad2", "n") == "y";
}

bool browserControlAvailable(const QString& programFolder) {
    const QByteArray configured = qgetenv("QTWEBENGINEPROCESS_PATH");
    const QString helper = configured.isEmpty()
                               ? QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + "/QtWebEngineProcess"
                               : QString::fromLocal8Bit(configured);
    // Made without shared GL contexts, the engine crashes the program.
    return QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts) && QFileInfo(helper).isExecutable() &&
           QFileInfo(modulePath(programFolder)).isFile();
}

WebPanel::WebPanel(const QString& programFolder, AddressForSize address, bool withFormHeader, QWidget* parent)
    : QWidget(parent),
      programFolder_(programFolder),
      addressForSize_(std::move(address)),
      withFormHeader_(withFormHeader) {
    setObjectName(QStringLiteral("webPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void WebPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!loaded_.isEmpty()) return;
    loaded_ = addressForSize_(size());
    // A module that cannot be loaded leaves the panel empty, as a browser that cannot be made.
    if (const CreateWebView createView = loadCreateWebView(programFolder_)) {
        view_ = createView(&loaded_, withFormHeader_);
        layout()->addWidget(view_);
    }
    emit addressLoaded(loaded_);
}

}  // namespace torvane::app

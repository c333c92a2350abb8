// The browser engine behind the web panels, in a module of its own: the program loads it the
// first time a page is shown, so a start without panels does not pay for loading and
// relocating Qt WebEngine (about 200 ms).
#include <QUrl>
#include <QWebEngineHttpRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

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

// A browser view loading the address; withFormHeader adds "Content-Type:
// application/x-www-form-urlencoded" to the request.
extern "C" Q_DECL_EXPORT QWidget* torvaneCreateWebView(const QUrl* address, bool withFormHeader) {
    auto* view = new QWebEngineView;
    view->setPage(new SilentPage(view));
    // The panels are sized for their pages; scroll bars would only eat into them.
    view->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    QWebEngineHttpRequest request(*address);
    if (withFormHeader) {
        request.setHeader(QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/x-www-form-urlencoded"));
    }
    view->load(request);
    return view;
}

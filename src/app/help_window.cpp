#include "app/help_window.h"

#include "app/auxiliary_commands.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace qb {

HelpWindow::HelpWindow(PlatformServices services, QWidget* parent) : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("FormHelp"));
    setWindowTitle(QStringLiteral("Quillbrook Help"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(720, 560);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("BrowserHelp"));
    browser_->setAccessibleName(QStringLiteral("Help"));
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.isRelative() || url.scheme() == QLatin1String("qrc")) {
            browser_->setSource(browser_->source().resolved(url));
        } else {
            OpenLink(url.toString().toStdString(), services_);
        }
    });
    layout->addWidget(browser_);
    browser_->setSource(QUrl(QStringLiteral("qrc:/help/index.htm")));
}

} // namespace qb

#include "app/text_browser_pane.h"

#include <QUrl>

namespace qb {

void TextBrowserPane::Navigate(std::string_view url) {
    lastUrl_ = std::string(url);
    if (!browser_) {
        return;
    }
    constexpr std::string_view kFileScheme = "file:///";
    QUrl target;
    if (url.starts_with(kFileScheme)) {
        const auto local = paths_.toLocal(url.substr(kFileScheme.size()));
        if (!local) {
            browser_->setHtml(QStringLiteral("<p>The page cannot be found.</p>"));
            return;
        }
        target = QUrl::fromLocalFile(QString::fromStdString(*local));
    } else {
        target = QUrl(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())));
    }
    if (browser_->source() == target) {
        browser_->reload();
    } else {
        browser_->setSource(target);
    }
}

} // namespace qb

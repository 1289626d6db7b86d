#pragma once

#include "app/path_mapping.h"
#include "platform/browser_pane.h"

#include <QPointer>
#include <QTextBrowser>

namespace qb {

// The browser pane over a QTextBrowser: the tool sends it "file:///C:\..." addresses of the system, which
// it opens where this process finds them. Going to the same page again reloads it: the tool rewrites its
// page file before every visit.
class TextBrowserPane : public BrowserPane {
public:
    explicit TextBrowserPane(PathMapping paths) : paths_(std::move(paths)) {}
    void Attach(QTextBrowser* browser) { browser_ = browser; }
    void Navigate(std::string_view url) override;
    const std::string& LastUrl() const { return lastUrl_; }

private:
    PathMapping paths_;
    QPointer<QTextBrowser> browser_;
    std::string lastUrl_;
};

} // namespace qb

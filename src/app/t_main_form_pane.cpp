// The information pane below the list: the selected entry's page, or the start page.
#include "app/auxiliary_commands.h"
#include "app/t_main_form.h"
#include "knowledge/info_page.h"

#include <QTextBrowser>

namespace qb {

QWidget* TMainForm::BuildInfoPane(QWidget* parent) {
    browser_ = new QTextBrowser(parent);
    browser_->setObjectName(QStringLiteral("CppWebBrowserInfo"));
    browser_->setAccessibleName(QStringLiteral("Information about the selected entry"));
    // Links in the page open in the user's browser, through the shell.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) { Guard([&] { OpenLink(url.toString().toStdString(), services_); }); });
    return browser_;
}

void TMainForm::ShowCurrentPage() {
    const ListRow* row = SelectedRow();
    if (row == nullptr) {
        services_.browser.Navigate(StartPageAddress(services_.files));
        return;
    }
    BuildInfoPage({row->caption, row->commandCell, row->location, row->rating}, session_.Items(),
                  session_.Database(), services_);
}

} // namespace qb

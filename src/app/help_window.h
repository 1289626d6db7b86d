#pragma once

#include "platform/platform_services.h"

#include <QDialog>

class QTextBrowser;

namespace qb {

// The help pages in a window of the tool's own, for systems where nothing shows the compiled help file.
// The pages travel inside the program; a link out of them goes to the user's browser.
class HelpWindow : public QDialog {
    Q_OBJECT

public:
    HelpWindow(PlatformServices services, QWidget* parent);
    QTextBrowser* Browser() const { return browser_; }

private:
    PlatformServices services_;
    QTextBrowser* browser_ = nullptr;
};

} // namespace qb

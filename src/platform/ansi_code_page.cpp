#include "platform/ansi_code_page.h"

namespace qb {

unsigned SystemAnsiCodePage(Registry& registry) {
    const auto key =
        registry.OpenForReading(RegistryRoot::LocalMachine,
                                "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", RegistryView::Native);
    const auto value = key ? key->ReadValue("ACP") : std::nullopt;
    if (!value || !value->IsText() || value->data.empty() || value->data.size() > 5) {
        return kDefaultAnsiCodePage;
    }
    unsigned codePage = 0;
    for (const char c : value->data) {
        if (c < '0' || c > '9') {
            return kDefaultAnsiCodePage;
        }
        codePage = codePage * 10 + static_cast<unsigned>(c - '0');
    }
    return codePage == 0 ? kDefaultAnsiCodePage : codePage;
}

} // namespace qb

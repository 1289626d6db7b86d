#include "changes/place_store.h"

#include "changes/folder_store.h"
#include "changes/registry_store.h"
#include "platform/failure_cause.h"

namespace qb {

std::unique_ptr<PlaceStore> OpenPlaceStore(std::string_view label, PlatformServices services) {
    const StartupLocation* row = FindLocation(label);
    if (row == nullptr) {
        return nullptr;
    }
    switch (row->kind) {
    case LocationKind::Registry:
        return std::make_unique<RegistryStore>(*row, services);
    case LocationKind::Folder:
        return std::make_unique<FolderStore>(*row, services);
    }
    return nullptr;
}

std::string SystemNameOf(const StartupItem& item) {
    if (!item.SystemName.empty()) {
        return item.SystemName;
    }
    return HoldsFiles(item.Location) ? item.Name.str() + ".lnk" : item.Name.str();
}

std::string FailureText() {
    return std::string(DescribeFailure(LastFailure()));
}

} // namespace qb

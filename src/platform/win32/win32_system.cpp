#include "platform/win32/win32_system.h"

namespace qb::win32 {

PlatformServices Win32System::Services() {
    return {registry_, profiles_, files_, shell_, processes_, systemInfo_, *dialogs_, *browser_, clock_};
}

} // namespace qb::win32

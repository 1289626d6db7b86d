#include "targets/fuzz_target.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One machine for the whole run; its temporary root goes with the process.
    static qb::fuzz::BackupLoadCheck check;
    return qb::fuzz::Report(check.Run(qb::fuzz::Bytes(data, size)));
}

#include "targets/fuzz_target.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return qb::fuzz::Report(qb::fuzz::CheckProfileText(qb::fuzz::Bytes(data, size)));
}

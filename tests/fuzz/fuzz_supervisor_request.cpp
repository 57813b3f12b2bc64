// Fuzzes how the process with administrator rights reads a request from the
// memory every process of the user can write. Input: the request's bytes
// (zero-filled when short), then the catalogue's size and which of its
// entries the run registers. Whatever the bytes, the only request that leads
// to a registration names an entry the run registers, and its time limit
// stays within bounds.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "repair/SupervisorRequest.h"
#include "tests/fuzz/FuzzText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    SupervisorRequest request{};
    const size_t taken = size < sizeof(request) ? size : sizeof(request);
    std::memcpy(&request, data, taken);
    std::vector<bool> registrable;
    if (size > taken) {
        const size_t entries = data[taken] % 40;
        for (size_t index = 0; index < entries; ++index) {
            const size_t byte = taken + 1 + index / 8;
            registrable.push_back(byte < size && (data[byte] >> (index % 8) & 1) != 0);
        }
    }

    const SupervisorOrder order = DecodeRequest(request, registrable);
    const std::string what = "operation " + std::to_string(request.operation) + " entry " +
                             std::to_string(request.entry) + " of " + std::to_string(registrable.size());
    using Kind = SupervisorOrder::Kind;
    const bool registers =
        request.operation == kSupervisorRegister && request.entry < registrable.size() && registrable[request.entry];
    const Kind expected = request.operation == kSupervisorStop ? Kind::Stop : registers ? Kind::Register : Kind::Refuse;
    if (order.kind != expected)
        fuzz::Fail(what, std::to_string(static_cast<int>(order.kind)), std::to_string(static_cast<int>(expected)));
    if (order.kind == Kind::Register) {
        if (order.entry != request.entry) fuzz::Fail(what, std::to_string(order.entry), "the entry asked for");
        if (order.timeLimit < 500 || order.timeLimit > 600000)
            fuzz::Fail(what + " limit " + std::to_string(request.timeLimit), std::to_string(order.timeLimit),
                       "500 to 600000 ms");
    }
    return 0;
}

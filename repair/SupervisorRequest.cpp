#include "repair/SupervisorRequest.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kShortestTimeLimit = 500;
constexpr std::uint32_t kLongestTimeLimit = 600000;

}  // namespace

SupervisorOrder DecodeRequest(const SupervisorRequest& request, const std::vector<bool>& registrable) {
    SupervisorOrder order;
    if (request.operation == kSupervisorStop) {
        order.kind = SupervisorOrder::Kind::Stop;
    } else if (request.operation == kSupervisorRegister && request.entry < registrable.size() &&
               registrable[request.entry]) {
        order.kind = SupervisorOrder::Kind::Register;
        order.entry = request.entry;
        order.timeLimit = std::clamp(request.timeLimit, kShortestTimeLimit, kLongestTimeLimit);
    }
    return order;
}

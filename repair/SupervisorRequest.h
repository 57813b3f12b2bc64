#pragma once
// What the wizard may ask of the process that registers with administrator
// rights, and how that process reads a request. The request lies in memory
// that every process of the user can write, so it is read once and trusted
// for nothing: it names a catalogue entry by its number, never a file.

#include <cstddef>
#include <cstdint>
#include <vector>

struct SupervisorRequest {
    std::int32_t operation;
    std::uint32_t sequence;   // echoed with the answer
    std::uint32_t entry;      // the catalogue entry to register
    std::uint32_t timeLimit;  // milliseconds one registration may take
};

enum SupervisorOperation : std::int32_t { kSupervisorStop = 1, kSupervisorRegister = 2 };

struct SupervisorOrder {
    enum class Kind { Stop, Register, Refuse } kind = Kind::Refuse;
    std::size_t entry = 0;
    std::uint32_t timeLimit = 0;
};

// registrable: one flag per catalogue entry, whether the run registers it.
// Anything but a stop or the registration of a registrable entry is refused;
// the time limit is held between half a second and ten minutes.
SupervisorOrder DecodeRequest(const SupervisorRequest& request, const std::vector<bool>& registrable);

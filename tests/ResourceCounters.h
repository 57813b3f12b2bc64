#pragma once
// What the test process holds, counted for leak checks: kernel handles, GDI
// objects and USER objects (windows, menus, icons and cursors). Each count
// says how it was taken; an empty count means no measure works here.

#include <cstddef>
#include <optional>
#include <set>
#include <string>

namespace counters {

struct Count {
    std::optional<size_t> value;
    std::string method;  // how it was counted, or why it could not be
};

// GetProcessHandleCount; where that answers 0 (Wine), the system's handle list.
Count KernelHandles();

// GetGuiResources; where that answers 0 (Wine), the process's GDI handle
// table, once it has been seen to count an object made and deleted.
Count GdiObjects();

// GetGuiResources; where that answers 0 (Wine), a probe of every USER handle
// value for this process's windows, menus, icons and cursors, once it has
// been seen to count objects made and destroyed. Takes a second or two.
Count UserObjects();

// The long paths of every module of the process, upper-cased for comparing.
std::set<std::wstring> LoadedModules();

// The modules that came (" +path") and went (" -path") between two lists.
std::string ModuleChanges(const std::set<std::wstring>& before, const std::set<std::wstring>& after);

}  // namespace counters

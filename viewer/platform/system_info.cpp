#include "viewer/platform/system_info.h"

#include <windows.h>

#include <algorithm>
#include <bit>
#include <vector>

#include "viewer/logic/text_utils.h"

int CountLogicalProcessors() {
    using Query = BOOL(WINAPI*)(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION, PDWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    const auto query = kernel ? reinterpret_cast<Query>(reinterpret_cast<void*>(
                                    GetProcAddress(kernel, "GetLogicalProcessorInformation")))
                              : nullptr;
    if (!query) return 0;
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records;
    DWORD bytes = 0;
    for (;;) {
        if (query(records.data(), &bytes)) break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return 0;
        records.resize(bytes / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) + 1);
        bytes = static_cast<DWORD>(records.size() * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    }
    const size_t n = bytes / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION);
    int logical = 0, cores = 0, nodes = 0, packages = 0;
    for (size_t i = 0; i < n && i < records.size(); ++i) {
        switch (records[i].Relationship) {
            case RelationProcessorCore:
                logical += std::popcount(static_cast<unsigned long long>(records[i].ProcessorMask));
                ++cores;
                break;
            case RelationNumaNode:
                ++nodes;
                break;
            case RelationProcessorPackage:
                ++packages;
                break;
            default:
                break;
        }
    }
    return std::max({logical, cores, nodes, packages});
}

int GetProcessorCount() {
    int n = CountLogicalProcessors();
    if (n == 0) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        n = static_cast<int>(info.dwNumberOfProcessors);
    }
    return std::max(n, 1);
}

int GetWorkerThreadCount() {
    return WorkerThreadCountFor(GetProcessorCount());
}

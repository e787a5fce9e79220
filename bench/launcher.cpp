// Starts programs in turn, many times, and prints for each run how long it took from process
// creation to its window being shown and painted, and its private bytes and working set once it
// has settled: what it does just after its first paint (Kavo takes drops from then on) counts.
// Usage: kavo_bench_launcher RUNS EXE...

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

struct Search {
    DWORD pid;
    HWND found;
};

HWND VisibleWindowOf(DWORD pid) {
    Search search{pid, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner != s->pid || !IsWindowVisible(hwnd)) return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// One run: prints "run EXE MILLISECONDS PRIVATE_BYTES WORKING_SET".
bool Run(const wchar_t* exe, LARGE_INTEGER frequency) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    wchar_t commandLine[MAX_PATH + 2];
    std::swprintf(commandLine, MAX_PATH + 2, L"\"%ls\"", exe);
    if (!CreateProcessW(exe, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    WaitForInputIdle(process.hProcess, 10000);
    HWND window = nullptr;
    for (const ULONGLONG deadline = GetTickCount64() + 20000; GetTickCount64() < deadline;) {
        window = VisibleWindowOf(process.dwProcessId);
        // Shown, and no part of it still waiting to be painted.
        if (window && !GetUpdateRect(window, nullptr, FALSE)) break;
        Sleep(0);
    }
    QueryPerformanceCounter(&end);
    // Work queued behind the paint (a timer's message comes 10 ms on at the soonest) done, and the
    // program waiting for input again.
    Sleep(100);
    WaitForInputIdle(process.hProcess, 10000);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof(memory));
    const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    std::printf(
        "run %ls %.3f %llu %llu\n", exe, ms,
        // PagefileUsage is the private commit too, and unlike PrivateUsage Wine fills it in.
        static_cast<unsigned long long>(memory.PagefileUsage),
        static_cast<unsigned long long>(memory.WorkingSetSize));
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return window != nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 64;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const int runs = _wtoi(argv[1]);
    // In turn, so that anything slowly changing on the machine weighs on all alike.
    for (int i = 0; i < runs; ++i) {
        for (int exe = 2; exe < argc; ++exe) {
            if (!Run(argv[exe], frequency)) return 1;
        }
    }
    return 0;
}

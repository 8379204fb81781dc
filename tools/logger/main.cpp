// zentra-log: logs a power meter into a Zentra project file without a screen.
#include "tools/logger/config/config_main.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
    g_stop.store(true);
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // A second Ctrl+C while the project is being saved ends the program at once; the
    // save is atomic, so the previous file survives.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
} // namespace

int main(int argc, char** argv) {
    InstallStopHandlers();
    // Every progress line reaches a pipe or the journal as it is printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::string> args(argv + 1, argv + argc);
    return zentra::logger::ZentraLogMain(args, std::cout, std::cerr, g_stop);
}

// Start-up time of the program to its first painted window:
//  - in the process: building the main window with its first document, showing it,
//    until the view's first paint;
//  - as a fresh process: from spawning to the first paint of the window, which adds
//    loading the program, the Qt libraries and plugins, and QApplication itself.
// Both run on the offscreen platform unless another is chosen.
#include "app/main_frame.h"
#include "app/zentra_app.h"
#include "display/view/zentra_view.h"
#include "platform/message_box.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kChildFlag = "--child-startup";

// Notes the first paint of a widget.
class FirstPaint : public QObject {
  public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

void WaitForPaint(const FirstPaint& probe) {
    while (!probe.painted)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_MainWindowToFirstPaint(benchmark::State& state) {
    zentra::test::ScopedUserFolders folders;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto frame = std::make_unique<zentra::CMainFrame>();
        FirstPaint probe;
        frame->View()->installEventFilter(&probe);
        std::string reason;
        if (!frame->Start(std::nullopt, &reason))
            state.SkipWithError(reason.c_str());
        frame->show();
        WaitForPaint(probe);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        frame->View()->removeEventFilter(&probe);
    }
}
BENCHMARK(BM_MainWindowToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond);

// The child: the program's own start, then a line on standard output at the first
// paint, then an immediate exit (the measurement ends at the paint).
int RunChild(int argc, char** argv) {
    QApplication app(argc, argv);
    zentra::CZentraApp zentraApp;
    FirstPaint probe;
    app.installEventFilter(&probe);
    if (!zentraApp.InitInstance({QStringLiteral("zentra")}))
        return 1;
    WaitForPaint(probe);
    std::fputs("painted\n", stdout);
    std::fflush(stdout);
    std::_Exit(0);
}

void BM_ProcessToFirstPaint(benchmark::State& state) {
    zentra::test::ScopedUserFolders folders;
    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        state.SkipWithError("cannot find the benchmark program");
        return;
    }
    for (auto _ : state) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        char flag[] = "--child-startup";
        char* args[] = {self, flag, nullptr};
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, self, &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        char line[16] = {};
        const ssize_t got = spawned == 0 ? ::read(pipeFds[0], line, sizeof line - 1) : -1;
        const auto end = std::chrono::steady_clock::now();
        ::close(pipeFds[0]);
        int status = 0;
        if (spawned == 0)
            ::waitpid(pid, &status, 0);
        if (got <= 0 || std::strncmp(line, "painted", 7) != 0) {
            state.SkipWithError("the program did not paint its window");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(BM_ProcessToFirstPaint)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], kChildFlag) == 0)
        return RunChild(1, argv);
    QApplication app(argc, argv);
    zentra::CZentraApp names; // the program's names and resources, as at a real start
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

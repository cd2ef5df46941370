#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "gui/x11/Xlib.h"
#include "tests/engine/ProgramRun.h"
#include "tests/gui/XvfbServer.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A child process with its output in a file; killed if still running at the end.
class Child {
public:
    Child(const std::vector<std::string>& args, const std::string& log) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    bool started() const { return pid_ > 0; }
    // The exit status, or -1 when it did not end in time.
    int wait(int timeoutMs) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        while (Clock::now() < end) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
};

std::string fileText(const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = readBytes(path);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

// `vorn play` opens its editor when there is a display; closing the window ends it cleanly.
TEST(PlayEditor, ClosingTheWindowEndsPlay) {
    if (!gui::test::XvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
    if (runShell("command -v jackd").status != 0) GTEST_SKIP() << "jackd is not installed";
    ScratchFolder scratch;
    gui::test::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running());
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    const std::string server = "vorn-editor-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    Child jackd({"jackd", "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"},
                (scratch.path() / "jackd.log").string());
    ASSERT_TRUE(jackd.started());
    ASSERT_EQ(runShell("jack_wait -s " + server + " -w -t 10 >/dev/null 2>&1").status, 0);
    Display* display = XOpenDisplay(xvfb.display().c_str());
    ASSERT_NE(display, nullptr);

    const auto started = Clock::now();
    const auto log = scratch.path() / "play.log";
    Child play({vornBinary(), "play", "--jack-name", "vorn-editor", "--seconds", "60"},
               log.string());
    const ProgramRun found =
        runShell("timeout 15 xdotool search --sync --onlyvisible --name '^Vorn$' 2>/dev/null");
    const Window window = std::strtoul(found.out.c_str(), nullptr, 10);
    ASSERT_NE(window, 0u) << fileText(log);
    std::printf("vorn play showed its editor after %.0f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - started).count());

    // What a window manager sends for the close button.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &close);
    XFlush(display);
    EXPECT_EQ(play.wait(10000), 0) << fileText(log);
    EXPECT_NE(fileText(log).find("clean shutdown after"), std::string::npos);
    EXPECT_NE(fileText(log).find("(editor closed)"), std::string::npos) << fileText(log);

    XCloseDisplay(display);
}

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "gui/x11/Xlib.h"
#include "tests/engine/ProgramRun.h"
#include "tests/gui/XvfbServer.h"

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
    const ProgramRun jackd = runShell("jackd --no-realtime -d dummy -r 48000 -p 256 > " +
                                      scratch.quoted("jackd.log") + " 2>&1 & echo $!");
    const struct Stop {
        pid_t pid;
        ~Stop() { kill(pid, SIGTERM); }
    } stopJack{static_cast<pid_t>(std::atoi(jackd.out.c_str()))};
    ASSERT_GT(stopJack.pid, 0);
    ASSERT_EQ(runShell("jack_wait -s " + server + " -w -t 10 >/dev/null 2>&1").status, 0);
    Display* display = XOpenDisplay(xvfb.display().c_str());
    ASSERT_NE(display, nullptr);

    ProgramRun play;
    std::thread playing([&] {
        play = runShell("'" + vornBinary() + "' play --jack-name vorn-editor --seconds 60 2>&1");
    });
    const ProgramRun found =
        runShell("timeout 15 xdotool search --sync --onlyvisible --name '^Vorn$' 2>/dev/null");
    const Window window = std::strtoul(found.out.c_str(), nullptr, 10);
    EXPECT_NE(window, 0u);
    if (window) {  // what a window manager sends for the close button
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = window;
        close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &close);
        XFlush(display);
    }
    playing.join();
    EXPECT_EQ(play.status, 0) << play.out;
    EXPECT_NE(play.out.find("clean shutdown after"), std::string::npos) << play.out;
    EXPECT_NE(play.out.find("(editor closed)"), std::string::npos) << play.out;
    XCloseDisplay(display);
}

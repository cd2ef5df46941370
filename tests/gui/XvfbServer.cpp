#include "tests/gui/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace gui::test {
namespace {

constexpr int kStartTimeoutMs = 15000;

// Reads the display number line from the pipe; empty on time-out or end of file.
std::string readDisplay(int fd) {
    std::string text;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kStartTimeoutMs) <= 0) return {};
        char c = 0;
        if (read(fd, &c, 1) != 1) return {};
        if (c == '\n') return text.empty() ? std::string() : ":" + text;
        text += c;
    }
}

}  // namespace

bool XvfbServer::available() {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (access((dir + "/Xvfb").c_str(), X_OK) == 0) return true;
    return false;
}

XvfbServer::XvfbServer(const std::vector<std::string>& extraArgs) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const std::string fdText = std::to_string(fds[1]);
    // No reset when the last client leaves: a test that closes one window and opens the next
    // would otherwise meet a server that refuses connections meanwhile.
    std::vector<std::string> args = {"Xvfb",        "-displayfd", fdText, "-screen", "0",
                                     "1024x768x24", "-nolisten",  "tcp",  "-noreset"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        // A test that crashes or is killed takes its server with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        fcntl(fds[1], F_SETFD, 0);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid_ > 0) display_ = readDisplay(fds[0]);
    close(fds[0]);
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

std::vector<uint32_t> windowPixels(Display* display, Window window, const Rect& r) {
    std::vector<uint32_t> pixels;
    XImage* image = XGetImage(display, window, r.x, r.y, static_cast<unsigned>(r.width),
                              static_cast<unsigned>(r.height), AllPlanes, ZPixmap);
    for (int y = 0; image && y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x)
            pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF);
    }
    if (image) XDestroyImage(image);
    return pixels;
}

}  // namespace gui::test

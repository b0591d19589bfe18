// The parts of plix both front ends share (program.h).
#include "plix/program.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/platform.h"
#include "settings/settings.h"
#include "sim/dots.h"

volatile sig_atomic_t program_signalled;

namespace {

int g_wake[2] = {-1, -1};  // a signal writes here

void on_signal(int signal) {
    program_signalled = signal;
    const char c = 0;
    ssize_t n = write(g_wake[1], &c, 1);  // full pipe: a wake-up is pending anyway
    (void)n;
}

}  // namespace

long long now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

void catch_signals() {
    if (pipe(g_wake) == 0) {
        fcntl(g_wake[0], F_SETFL, O_NONBLOCK);
        fcntl(g_wake[1], F_SETFL, O_NONBLOCK);
        fcntl(g_wake[0], F_SETFD, FD_CLOEXEC);
        fcntl(g_wake[1], F_SETFD, FD_CLOEXEC);
    }
    struct sigaction sa = {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int wake_fd() { return g_wake[0]; }

void drain_wake() {
    char drain[16];
    while (read(g_wake[0], drain, sizeof drain) > 0) {
    }
}

void open_standard_descriptors() {
    for (int fd = 0; fd < 3; fd++) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        const int opened = open("/dev/null", fd ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

bool claim_idle_session() {
    const char *runtime = getenv("XDG_RUNTIME_DIR"), *display = getenv("WAYLAND_DISPLAY");
    // A name in the abstract socket space, made of the runtime folder (the
    // user's session) and the display: it goes with the process however it
    // ends, and leaves no file behind.
    const std::string name = std::string("plix-idle:") + (runtime ? runtime : "") + "/" +
                             (display && *display ? display : "wayland-0");
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    memcpy(address.sun_path + 1, name.data(), length);  // sun_path[0] == 0: abstract
    // Kept open, never closed: the name is ours until we end.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return true;
    const socklen_t size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), size) == 0) return true;
    const bool taken = errno == EADDRINUSE;
    close(fd);
    return !taken;
}

int out_of_memory() {
    plat_message_box(nullptr, out_of_memory_text, out_of_memory_caption);
    return 1;
}

int set_up_settings(const plix_options &options) {
    apply_settings(options);
    return setup_arrays(nullptr);
}

void print_frames_line(program_output *out, long long frames) {
    if (out->stdout_closed) return;
    printf("frames=%lld pixels_per_frame=%lld\n", frames,
           (long long)dirty_capacity(dot_count, dot_history));
    out->stdout_closed = fflush(stdout) != 0;
}

namespace {
long long thread_cpu_ns() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}
}  // namespace

void render_frame(program_output *out, bool timed, plat_dc target, frame_buffer *fb,
                  frame_stop_check stop) {
    if (!timed) return render(target, fb, stop);
    const long long t0 = thread_cpu_ns();
    const int stopped = render_dots(fb, stop);
    out->step_ns += thread_cpu_ns() - t0;
    if (stopped == 0) present_frame(target, fb);
}

void report_fps(program_output *out, long long now, const char *how) {
    if (now - out->fps_since < 1000) return;
    if (!out->stderr_closed)
        out->stderr_closed =
            fprintf(stderr, "plix: %.1f frames per second (%s), step %.3f ms of CPU a frame\n",
                    double(out->fps_frames) * 1000.0 / double(now - out->fps_since), how,
                    out->fps_frames ? double(out->step_ns) / 1e6 / double(out->fps_frames) : 0.0) < 0;
    out->fps_frames = 0;
    out->step_ns = 0;
    out->fps_since = now;
}

int end_program(int status) {
    if (program_signalled == SIGTERM) {
        signal(SIGTERM, SIG_DFL);
        raise(SIGTERM);
    }
    return status;
}

// What both of plix's front ends, X11's and Wayland's, share: the clock, the
// signals that end it, its standard descriptors, the settings' set-up and the
// lines it prints while it runs.
#pragma once
#include <csignal>

#include "plix/options.h"
#include "sim/render.h"

// Milliseconds of a clock that only goes forward.
long long now_ms();

// The signal that ends us (SIGTERM, SIGINT), 0 before one came.
extern volatile sig_atomic_t program_signalled;

// Catches SIGTERM and SIGINT, and ignores SIGPIPE: a reader of --fps or of the
// frames line that goes away is no reason to die.
void catch_signals();

// Readable once a signal came, so that a wait in poll ends at once; drain_wake
// empties it before the next wait.
int wake_fd();
void drain_wake();

// A launcher may start us with 0, 1 or 2 closed: the display's connection would
// take the free number, and what we print would go into its stream.
void open_standard_descriptors();

// Makes this the session's one plix --idle: a name held until we end, made of
// the runtime folder ($XDG_RUNTIME_DIR) and the Wayland display. False when
// another plix holds it; a name that cannot be had for another reason stops nobody.
bool claim_idle_session();

// The settings, the set-up's random state and its arrays, as the saver's set-up
// makes them: 0, or 1 after the "Out of memory" message.
int set_up_settings(const plix_options &options);

// The "Out of memory" message; 1.
int out_of_memory();

// What plix prints as it runs, to streams that may close: nothing more is
// printed to one whose reader went away.
struct program_output {
    bool stdout_closed, stderr_closed;
    long long fps_frames, fps_since;
    long long step_ns;  // CPU time of the frame steps since fps_since, with --fps
};

// "frames=N pixels_per_frame=P", once the Nth frame is on the screen.
void print_frames_line(program_output *out, long long frames);

// One frame stepped into `fb` and presented on `target`, as render does; with
// `timed` (--fps) the step's CPU time is added to out->step_ns.
void render_frame(program_output *out, bool timed, plat_dc target, frame_buffer *fb,
                  frame_stop_check stop);

// With --fps, once a second: the frames per second, `how` they are shown, and
// the CPU time a frame's step took. The step's cost as it runs here, between
// the server's copies, is what a benchmark sets the program's share against.
void report_fps(program_output *out, long long now, const char *how);

// The end, once everything is released: after SIGTERM by SIGTERM itself, as a
// screen-saver host ends its programs, so that its log does not report an exit
// status as a failure; else `status`.
int end_program(int status);

// terminal_tty.cpp -- the terminal session on a POSIX tty: raw keys, signals, size, shared memory, restore on every way out
//
// Signals: SIGINT, SIGTERM and SIGHUP arrive as a quit event in the key queue so the show shuts down
// in order; a second one leaves at once. On a terminal also: SIGWINCH and SIGCONT only raise flags
// that the next frame acts on; SIGTSTP restores the terminal and stops, SIGCONT then takes it back and
// repaints; SIGQUIT and the crash signals restore the terminal at once (write and tcsetattr only) and re-raise.
//
// Input passes the reply parser before the key decoder: the answers to the detection queries are
// taken out, never read as keys, never echoed, and those still due at the restore are drained.
#include "platform/terminal/terminal_local.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <termios.h>
#include <unistd.h>

#include "platform/clock.h"

// ---- types ----

enum {
    READ_CHUNK = 256,     // input bytes read per call
    READS_PER_POLL = 64,  // at most this many calls each time the input is looked at (16 KB)
};

// ---- state ----

static const int EXIT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
static const int FATAL_SIGNALS[] = {SIGQUIT, SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
static const int JOB_SIGNALS[] = {SIGTSTP, SIGCONT, SIGWINCH};
enum { HANDLED_SIGNALS = 12 };

static struct {
    int out_fd, in_fd;
    int keyboard;                     // 1 while in_fd can deliver keys
    int raw;                          // 1 when in_fd's termios has been changed
    termios saved;                    // in_fd's termios before open
    TerminalScreen screen;            // what the enter and restore sequences do
    char enter[TERMINAL_SEQUENCE_BYTES];   // switches the terminal to the show
    int enter_len;
    char restore[TERMINAL_SEQUENCE_BYTES]; // and back; written from signal handlers too
    int restore_len;
    int signals_installed;
    struct sigaction old_actions[HANDLED_SIGNALS];
    int old_signals[HANDLED_SIGNALS];
    int quit_sent;                    // the quit signal has been handed on as a key
    char shm_query[64];               // the shared-memory object of the detection query, until answered
} term;

static volatile sig_atomic_t resized;          // SIGWINCH seen
static volatile sig_atomic_t continued;        // SIGCONT seen: take the terminal back
static volatile sig_atomic_t quit_signal;      // SIGINT / SIGTERM / SIGHUP that asked to quit
static volatile sig_atomic_t switched;         // 1 while the terminal shows the show
static volatile sig_atomic_t replies_due;      // 1 while detection replies may still arrive: drained at the restore

// ---- internal functions ----

// Both sequences are built ahead so that signal handlers only write bytes.
static void build_sequences(void)
{
    term.enter_len = terminal_enter_sequence(&term.screen, term.enter);
    term.restore_len = terminal_restore_sequence(&term.screen, term.restore);
}

// Writes everything, retrying partial writes, interruptions and a non-blocking descriptor's EAGAIN.
static int write_all(int fd, const char* p, size_t n, long* writes)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (writes)
            (*writes)++;
        if (w > 0) {
            p += w;
            n -= (size_t)w;
        } else if (w < 0 && errno == EINTR) {
            continue;
        } else if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd = {fd, POLLOUT, 0};
            poll(&pfd, 1, 100);
        } else {
            return -1;
        }
    }
    return 0;
}

// Async-signal-safe: write and tcsetattr only.
static void restore_now(void)
{
    if (!switched)
        return;
    switched = 0;
    ssize_t left = term.restore_len;
    const char* p = term.restore;
    while (left > 0) {
        ssize_t w = write(term.out_fd, p, (size_t)left);
        if (w > 0) {
            p += w;
            left -= w;
        } else if (!(w < 0 && (errno == EINTR || errno == EAGAIN))) {
            break;
        }
    }
    if (replies_due)
        tcflush(term.in_fd, TCIFLUSH);   // answers still on their way are not the shell's input
    if (term.raw)
        tcsetattr(term.in_fd, TCSANOW, &term.saved);
}

static void make_raw(void)
{
    if (!term.raw)
        return;
    termios t = term.saved;
    // No echo, no line editing, no flow control, no CR translation; ISIG stays so Ctrl+C, Ctrl+Z
    // and Ctrl+\ still deliver their signals. VMIN = VTIME = 0: reads never block.
    t.c_lflag &= ~(tcflag_t)(ICANON | ECHO | ECHONL | IEXTEN);
    t.c_iflag &= ~(tcflag_t)(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    tcsetattr(term.in_fd, TCSANOW, &t);
}

static void enter_terminal(void)
{
    make_raw();
    write_all(term.out_fd, term.enter, (size_t)term.enter_len, nullptr);
    switched = 1;
    terminal_session.changed = 1;
}

static void reraise(int sig)
{
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}

static void on_fatal(int sig)
{
    int saved_errno = errno;
    restore_now();
    reraise(sig);   // synchronous faults fault again on return, now with the default action
    errno = saved_errno;
}

static void on_exit_signal(int sig)
{
    if (quit_signal) {
        // Asked twice: the show is not listening, so leave now.
        restore_now();
        reraise(sig);
        return;
    }
    quit_signal = sig;
}

static void set_handler(int sig, void (*handler)(int), struct sigaction* old, int flags = 0)
{
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART | flags;
    sigaction(sig, &sa, old);
}

// A stack overflow leaves no stack for the handler that restores the terminal: it runs on its own.
static char fatal_stack[64 * 1024];
static stack_t old_stack;
static int fatal_stack_set;  // 1 while fatal_stack is the alternate signal stack

static void on_job_signal(int sig)
{
    int saved_errno = errno;
    if (sig == SIGWINCH) {
        resized = 1;
    } else if (sig == SIGCONT) {
        continued = 1;
    } else if (sig == SIGTSTP) {
        restore_now();
        reraise(SIGTSTP);             // stops here until SIGCONT
        set_handler(SIGTSTP, on_job_signal, nullptr);
        continued = 1;
    }
    errno = saved_errno;
}

// Quit signals end the show in order wherever the frames go; the rest matter only on a terminal.
static void install_signals(int tty)
{
    int slot = 0;
    for (int sig : EXIT_SIGNALS) {
        term.old_signals[slot] = sig;
        set_handler(sig, on_exit_signal, &term.old_actions[slot++]);
    }
    if (tty) {
        for (int sig : JOB_SIGNALS) {
            term.old_signals[slot] = sig;
            set_handler(sig, on_job_signal, &term.old_actions[slot++]);
        }
        stack_t ss = {};
        ss.ss_sp = fatal_stack;
        ss.ss_size = sizeof fatal_stack;
        fatal_stack_set = sigaltstack(&ss, &old_stack) == 0;
        for (int sig : FATAL_SIGNALS) {
            term.old_signals[slot] = sig;
            set_handler(sig, on_fatal, &term.old_actions[slot++], fatal_stack_set ? SA_ONSTACK : 0);
        }
    }
    term.signals_installed = slot;
}

static void remove_signals(void)
{
    for (int i = 0; i < term.signals_installed; i++)
        sigaction(term.old_signals[i], &term.old_actions[i], nullptr);
    term.signals_installed = 0;
    if (fatal_stack_set)
        sigaltstack(&old_stack, nullptr);
    fatal_stack_set = 0;
}

// The size in cells and, where the terminal reports its pixels, the size of one cell. Nothing is
// asked of the terminal, so nothing waits.
static void query_size(void)
{
    winsize ws;
    TerminalSession* s = &terminal_session;
    s->cols = DISPLAY_COLS;
    s->rows = DISPLAY_ROWS;
    s->cell_w = s->cell_h = 0;
    if (s->tty && ioctl(term.out_fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        s->cols = ws.ws_col;
        s->rows = ws.ws_row;
        if (ws.ws_xpixel >= ws.ws_col && ws.ws_ypixel >= ws.ws_row) {
            s->cell_w = ws.ws_xpixel / ws.ws_col;
            s->cell_h = ws.ws_ypixel / ws.ws_row;
        } else if (terminal_input_replies()->cell_w > 0 && terminal_input_replies()->cell_h > 0) {
            s->cell_w = terminal_input_replies()->cell_w;   // as the terminal answered CSI 16 t
            s->cell_h = terminal_input_replies()->cell_h;
        }
    }
    s->changed = 1;
}

static int locale_is_utf8(void)
{
    const char* old = setlocale(LC_CTYPE, nullptr);
    char saved[64];
    snprintf(saved, sizeof saved, "%s", old ? old : "C");
    setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    int utf8 = codeset && (strcmp(codeset, "UTF-8") == 0 || strcmp(codeset, "utf8") == 0);
    setlocale(LC_CTYPE, saved);
    return utf8;
}

// Input bytes through the reply parser and the key decoder; the detection query's shared memory goes
// once nothing more can read it.
static void feed_input(const uint8_t* bytes, size_t n, uint32_t now)
{
    TerminalSession* s = &terminal_session;
    int answered = s->answered;
    terminal_input_feed(bytes, n, now);
    if (s->answered && !answered)
        replies_due = 0;
    if (!terminal_input_awaiting() && term.shm_query[0]) {
        shm_unlink(term.shm_query);   // read and unlinked by the terminal, or never to be read
        term.shm_query[0] = 0;
    }
}

// exit() from anywhere while the show owns the terminal: give it back, then print what was held.
static void close_at_exit(void)
{
    if (!terminal_session.open)
        return;
    terminal_session_close();
    msg_flush();
}

// ---- public functions ----

void terminal_session_open(const char* title)
{
    TerminalSession* s = &terminal_session;
    if (s->open)
        return;
    term.out_fd = STDOUT_FILENO;
    term.in_fd = STDIN_FILENO;
    s->tty = isatty(term.out_fd);
    term.keyboard = fcntl(term.in_fd, F_GETFL) != -1;
    term.raw = 0;
    memset(&term.screen, 0, sizeof term.screen);
    term.quit_sent = 0;
    quit_signal = 0;
    resized = 0;
    continued = 0;
    terminal_input_reset(0, 0, clock_ticks());
    term.shm_query[0] = 0;
    replies_due = 0;
    s->asked = s->answered = s->kitty = s->kitty_shm = s->sixel = s->max_w = s->max_h = 0;
    terminal_session_environment(s);
    terminal_screen_title(&term.screen, title);
    s->charset = locale_is_utf8() ? TERMINAL_CHARSET_UTF8 : TERMINAL_CHARSET_ASCII;
    query_size();
    term.screen.start_cols = s->cols;
    term.screen.start_rows = s->rows;
    s->open = 1;
    static int registered;
    if (!registered && atexit(close_at_exit) == 0)
        registered = 1;
    // Messages wait until the end either way: in a recording they would land inside the picture.
    msg_hold(1);
    if (!s->tty) {
        install_signals(0);
        return;   // frames go to a file or pipe as they are; nothing is switched
    }
    if (term.keyboard && isatty(term.in_fd) && tcgetattr(term.in_fd, &term.saved) == 0)
        term.raw = 1;
    terminal_input_reset(term.raw, 0, clock_ticks());
    build_sequences();
    install_signals(1);
    enter_terminal();
}

void terminal_session_request(int cols, int rows, int fullscreen)
{
    if (!terminal_session.open || !terminal_session.tty)
        return;
    // Best effort: terminals that allow window operations resize; the rest ignore the request.
    TerminalScreen* screen = &term.screen;
    screen->grid_cols = cols;
    screen->grid_rows = rows;
    screen->grid_asked = cols != screen->start_cols || rows != screen->start_rows;
    screen->fullscreen_asked = fullscreen != 0;
    char seq[64];
    char* p = seq;
    if (screen->grid_asked)
        p += terminal_size_sequence(cols, rows, p);
    if (screen->fullscreen_asked) {
        memcpy(p, "\x1b[10;1t", 7);
        p += 7;
    }
    sigset_t set, old;
    sigfillset(&set);
    sigprocmask(SIG_BLOCK, &set, &old);   // handlers must never see half-built sequences
    build_sequences();
    sigprocmask(SIG_SETMASK, &old, nullptr);
    write_all(term.out_fd, seq, (size_t)(p - seq), nullptr);
}

int terminal_session_ready(void)
{
    if (!terminal_session.open)
        return 0;
    if (!terminal_session.tty)
        return 1;
    if (continued) {
        // Back from the background only when we own the terminal again.
        if (tcgetpgrp(term.out_fd) != getpgrp())
            return 0;
        continued = 0;
        enter_terminal();
        resized = 1;   // stopped, it was not told of resizes made meanwhile in the shell
    }
    if (!switched)
        return 0;
    if (resized) {
        resized = 0;
        query_size();
    }
    return 1;
}

void terminal_session_write(const char* bytes, size_t n, long* writes)
{
    // A stop in the middle of a frame would leave half a sequence on the normal screen.
    sigset_t set, old;
    sigemptyset(&set);
    sigaddset(&set, SIGTSTP);
    sigprocmask(SIG_BLOCK, &set, &old);
    write_all(term.out_fd, bytes, n, writes);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

// Reads what the keyboard has sent, without blocking, and lets a lone Escape ripen.
void terminal_session_poll(void)
{
    uint32_t now = clock_ticks();
    if (term.keyboard) {
        pollfd pfd = {term.in_fd, POLLIN, 0};
        // A flood of input is taken a bounded bite at a time, so frames go on between bites.
        for (int reads = 0; reads < READS_PER_POLL && poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLIN | POLLHUP | POLLERR));
             reads++) {
            uint8_t bytes[READ_CHUNK];
            ssize_t n = read(term.in_fd, bytes, sizeof bytes);
            if (n > 0) {
                feed_input(bytes, (size_t)n, now);
                if (n < READ_CHUNK)
                    break;
            } else {
                if (n == 0 || (errno != EINTR && errno != EAGAIN))
                    term.keyboard = 0;   // end of input: no more keys
                break;
            }
        }
    }
    feed_input(nullptr, 0, now);
    if (quit_signal && !term.quit_sent)
        term.quit_sent = display_push_key(KEY_QUIT + quit_signal);
}

int terminal_session_wait(int ms)
{
    if (!term.keyboard)
        return 0;
    // A lone Escape ripens while nothing else arrives.
    if (terminal_input_pending_escape() && (ms < 0 || ms > TERMINAL_ESCAPE_MS))
        ms = TERMINAL_ESCAPE_MS;
    pollfd pfd = {term.in_fd, POLLIN, 0};
    poll(&pfd, 1, ms);
    return 1;
}

void terminal_session_detect(void)
{
    TerminalSession* s = &terminal_session;
    // The answers come back on the terminal's input: with the keyboard not a raw terminal they would
    // be echoed onto the screen and left for the shell.
    if (!s->open || !s->tty || s->asked || !term.raw)
        return;
    s->asked = 1;
    char q[512];
    snprintf(term.shm_query, sizeof term.shm_query, "/kerv16-%d-q", (int)getpid());
    int fd = shm_open(term.shm_query, O_CREAT | O_RDWR | O_TRUNC, 0600);
    if (!(fd >= 0 && write(fd, "\0\0\0", 3) == 3))
        term.shm_query[0] = 0;
    if (fd >= 0)
        close(fd);
    int n = terminal_detect_queries(term.shm_query[0] ? term.shm_query : nullptr, s->cell_w == 0, q);
    terminal_input_reset(term.raw, 1, clock_ticks());
    replies_due = 1;
    write_all(term.out_fd, q, (size_t)n, nullptr);
}

void terminal_session_await(uint32_t until_ms)
{
    while (terminal_session.asked && !terminal_session.answered && term.keyboard) {
        int left = (int)(until_ms - clock_ticks());
        if (left <= 0)
            break;
        pollfd pfd = {term.in_fd, POLLIN, 0};
        poll(&pfd, 1, left);
        terminal_session_poll();
    }
}

// A pseudo-terminal reports no output queue (TIOCOUTQ stays 0) but stops taking bytes once the
// terminal is some 14 KB behind; a serial line reports its queue.
int terminal_session_busy(void)
{
    if (!terminal_session.tty)
        return 0;
    int queued = 0;
    if (ioctl(term.out_fd, TIOCOUTQ, &queued) == 0 && queued > 0)
        return 1;
    pollfd pfd = {term.out_fd, POLLOUT, 0};
    return poll(&pfd, 1, 0) == 0;   // no room now: the last frame is still on its way
}

void terminal_session_pictures(int kitty)
{
    if (term.screen.pictures && term.screen.pictures_kitty >= kitty)
        return;
    term.screen.pictures = 1;
    term.screen.pictures_kitty |= kitty;
    sigset_t set, old;
    sigfillset(&set);
    sigprocmask(SIG_BLOCK, &set, &old);   // handlers must never see half-built sequences
    build_sequences();
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

static void share_name(int slot, char* name, size_t size)
{
    snprintf(name, size, "/kerv16-%d-%d", (int)getpid(), slot);
}

// A fresh shared-memory object the terminal reads and unlinks; the slot is still taken while the
// terminal has not read the picture before it.
int terminal_session_share(const uint8_t* bytes, size_t n, int slot, char* name, size_t size)
{
    share_name(slot, name, size);
    int fd = shm_open(name, O_CREAT | O_EXCL | O_RDWR, 0600);
    if (fd < 0)
        return 0;
    int ok = ftruncate(fd, (off_t)n) == 0;
    void* map = ok ? mmap(nullptr, n, PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (map != MAP_FAILED) {
        memcpy(map, bytes, n);
        munmap(map, n);
    } else {
        ok = 0;
    }
    close(fd);
    if (!ok)
        shm_unlink(name);
    return ok;
}

void terminal_session_unshare(int slots)
{
    char name[64];
    for (int slot = 0; slot < slots; slot++) {
        share_name(slot, name, sizeof name);
        shm_unlink(name);   // pictures the terminal never read
    }
}

void terminal_session_close(void)
{
    if (!terminal_session.open)
        return;
    // Answers still on their way are read now rather than left to the shell (briefly: they may never come).
    if (terminal_session.tty && terminal_session.asked && !terminal_session.answered)
        terminal_session_await(clock_ticks() + 200);
    if (term.shm_query[0]) {
        shm_unlink(term.shm_query);
        term.shm_query[0] = 0;
    }
    terminal_session.open = 0;
    msg_hold(0);
    restore_now();
    remove_signals();
    term.raw = 0;
}

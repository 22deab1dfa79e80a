#!/usr/bin/env python3
# stall.py -- the show on a pseudo-terminal whose reader stops: signals still end it (the first within a
# second, a second at once), the terminal settings come back and nothing of it (nor of a killed earlier
# run) stays in /dev/shm; with the reader resuming after 5 s the show goes on, the next frame whole.
# usage: stall.py KERV16 term|int2|hup|resume-text|resume-pixels   (run from the folder holding data/)
import fcntl, glob, os, re, select, signal, struct, sys, termios, time

show, case = sys.argv[1], sys.argv[2]
COLS, ROWS = 80, 50


def fail(why):
    print("FAIL (%s): %s" % (case, why))
    sys.exit(1)


dead = os.fork()   # a shared-memory object of an earlier run that was killed: its process is gone
if dead == 0:
    os._exit(0)
os.waitpid(dead, 0)
orphan = '/dev/shm/kerv16-%d-0' % dead
if os.path.isdir('/dev/shm'):
    open(orphan, 'wb').close()

master, slave = os.openpty()
fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack('HHHH', ROWS, COLS, COLS * 8, ROWS * 16))
before = termios.tcgetattr(slave)
err_path = "/tmp/kerv16-stall-%d.err" % os.getpid()
pid = os.fork()
if pid == 0:
    os.setsid()
    fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
    os.dup2(slave, 0)
    os.dup2(slave, 1)
    os.dup2(os.open(err_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), 2)
    env = {k: v for k, v in os.environ.items() if k not in ('TMUX', 'STY', 'COLORTERM', 'KERV16_COLOURS')}
    env.update(TERM='xterm-256color', LC_ALL='C.UTF-8')
    os.execve(show, [show, '--stats'] + (['--graphics', 'sixel'] if case == 'resume-pixels' else []), env)


def read_for(seconds):
    got, end = bytearray(), time.time() + seconds
    while time.time() < end:
        if select.select([master], [], [], 0.05)[0]:
            got += os.read(master, 65536)
    return bytes(got)


def gone_within(seconds):
    end = time.time() + seconds
    while time.time() < end:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            return status
        time.sleep(0.01)
    os.kill(pid, signal.SIGKILL)
    os.waitpid(pid, 0)
    fail("still running %.1f s after the signal" % seconds)


if b'\x1b[?2026h' not in read_for(3):
    fail("no frames in 3 s")
if case in ('term', 'int2', 'hup'):
    time.sleep(1.5)   # the reader stops: the tty's queue fills within a second
    sig = {'term': signal.SIGTERM, 'int2': signal.SIGINT, 'hup': signal.SIGHUP}[case]
    os.kill(pid, sig)
    if case == 'int2':
        time.sleep(0.05)
        os.kill(pid, sig)
    status = gone_within(0.3 if case == 'int2' else 1.0)
    if not (os.WIFSIGNALED(status) and os.WTERMSIG(status) == sig):
        fail("ended with status %d, not by signal %d" % (status, sig))
    after = termios.tcgetattr(slave)
    if after[3] != before[3] or after[0] != before[0]:
        fail("the terminal's settings were not restored")
    left = glob.glob('/dev/shm/kerv16-%d-*' % pid) + glob.glob(orphan)
    if left:
        fail("shared memory left behind: %s" % left)
    print("%s: gone after the signal, the terminal settings back, nothing in /dev/shm" % case)
else:
    time.sleep(5)   # the reader stops for 5 s
    resumed = read_for(3)
    os.write(master, b'\x1b')
    status = gone_within(3)
    if not (os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0):
        fail("exit status %d: %s" % (status, open(err_path).read()))
    # What the tty held when the reader stopped comes first (at most its queue and the rest of a frame);
    # the next frame clears the screen and draws everything.
    at = resumed.find(b'\x1b[2J')
    if not 0 <= at < 256 * 1024:
        fail("no whole frame soon after the reader resumed (at %d of %d bytes)" % (at, len(resumed)))
    end = resumed.find(b'\x1b[?2026l', at)
    frame = resumed[resumed.rfind(b'\x1b[?2026h', 0, at):end]
    cells = len(re.sub(r'\x1b\[[0-9;?]*[A-Za-z]', '', frame.decode('utf-8', 'replace')))
    if b'"1;1;640;400' not in frame if case == 'resume-pixels' else cells < COLS * ROWS:
        fail("the frame after the stall is not the whole picture")
    later = resumed[end:].count(b'\x1b[?2026h')
    if later < 30:
        fail("only %d frames after the whole one" % later)
    print("%s: after the stall the whole picture at byte %d, then %d frames; ended by Escape" % (case, at, later))
os.unlink(err_path)

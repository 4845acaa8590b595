# shellcheck shell=bash
# What the benchmark scripts share: the one place that times, interleaves and
# reports. Source it after `set -euo pipefail`:
#
#   . "$(dirname "${BASH_SOURCE[0]}")/common.sh"
#   bench_use_build "${1:-}"     # sets build, lib and iltool; root is the source tree
#
# then bench_require_files, bench_require_tools, bench_make_work (sets work),
# bench_compile_driver, and for each comparison bench_pair (two whole
# processes) or bench_summary (samples timed inside one process).
#
# Method, the same for every script:
#   - ours and the peer run interleaved, A B A B, RUNS times each (default
#     9) after one warm-up run each, pinned to the same processor(s)
#     (BENCH_CPUS, a taskset list; by default the idlest processor when the
#     script starts);
#   - each side's figure is the median, printed with its range;
#   - ours/peer is the ratio of the medians, printed with the range of the
#     ratios of the runs paired in time (run i of ours against run i of the
#     peer), which shows how much a noisy machine moved it;
#   - processes are timed by processor time (user + system of the process
#     and its children, which a busy machine disturbs least; the wall time
#     is printed too), unless either side runs threads (bench_pair's
#     "threads"): then the headline is the wall time a user waits, and the
#     processor times' ratio is printed beside it; their peak resident
#     memory is the largest of the runs (the kernel's maximum resident set
#     size of the process).
#   - bench_pair_wall runs such sides on every processor the script may use
#     (BENCH_WALL_CPUS).

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The idlest processor over a third of a second, unless BENCH_CPUS names
# some: scripts that others run at the same time then rarely share one.
_bench_idlest_cpu() {
    python3 - <<'PY'
import time
def idle():
    out = {}
    for line in open("/proc/stat"):
        f = line.split()
        if f[0].startswith("cpu") and f[0] != "cpu":
            out[f[0][3:]] = int(f[4]) + int(f[5])
    return out
a = idle(); time.sleep(0.3); b = idle()
print(max(b, key=lambda c: b[c] - a[c]))
PY
}
bench_cpus=${BENCH_CPUS:-$(_bench_idlest_cpu)}
bench_wall_cpus=${BENCH_WALL_CPUS:-$(taskset -pc $$ | sed 's/.*: //')}
bench_runs=${RUNS:-9}

# The build folder (default build/default) as an absolute path in build, the
# ImgLib built there in lib and the iltool in iltool.
bench_use_build() {
    build=$(cd "${1:-$root/build/default}" && pwd)
    lib="$build/imglib/libimglib.a"
    iltool="$build/tools/iltool"
}

bench_require_files() {
    local file
    for file in "$@"; do
        [ -f "$file" ] || { echo "no $file: build it first" >&2; exit 1; }
    done
}

bench_require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
    done
}

# A temporary folder in work (on the memory file system where there is one,
# so that file input and output cost both sides the same little), removed
# when the script exits.
bench_make_work() {
    work=$(mktemp -d "/dev/shm/$1.XXXXXX" 2>/dev/null || mktemp -d "/tmp/$1.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}

# bench_compile_driver SOURCE OUTPUT [PKG-CONFIG MODULE...]: a small C++
# program against the built ImgLib and the libraries it links, as the build
# names them, and the further modules given (a peer library, for example).
bench_compile_driver() {
    local source=$1 output=$2 modules
    shift 2
    modules=$(sed -n '/IMPORTED_TARGET/,/)/p' "$root/cmake/VxDependencies.cmake" |
              sed -e 's/.*IMPORTED_TARGET//' -e 's/)//')
    # shellcheck disable=SC2046,SC2086
    # ImgLib's JPEG 2000 loader needs the codec library after it. Libraries
    # the driver does not call itself are left to ImgLib to load on first use.
    g++ -std=c++20 -O2 -I"$root" "$source" "$lib" "$build/jpeg2000/libj2k.a" "$build/workpool/libworkpool.a" \
        -Wl,--as-needed $(pkg-config --cflags --libs $modules "$@") -pthread -o "$output"
}

# The header of the comparison lines.
bench_header() {
    printf '%-22s %-30s %-30s %-30s %s\n' "" "ours ms: median (range)" \
        "peer ms: median (range)" "ours/peer (paired range)" "peak MiB ours/peer"
}

# bench_pair NAME OURS PEER [threads]: times the two commands (each one
# string, split like a shell line without a shell: no redirections or
# variables) as above and prints one line; "threads" when either side runs
# several, to headline wall time. The commands' standard output and error
# go to $work/NAME.ours.log and $work/NAME.peer.log; a command that fails
# ends the script.
bench_pair() {
    _bench_launcher
    BENCH_LAUNCHER="$work/launcher" _bench_python pair "$1" "$2" "$3" "${4:-}"
}

# bench_pair_wall NAME OURS PEER: the same for commands that run threads,
# on the processors of BENCH_WALL_CPUS (by default all the script may use):
# the line gives the wall times, the processor times follow it.
bench_pair_wall() {
    BENCH_CPUS=$bench_wall_cpus bench_pair "$1" "$2" "$3" threads
}

# The program that runs one command and reports its wall time, processor
# time (ms) and peak resident memory (KiB) on standard output, the command's
# own output going to standard error. A process's peak memory counts what
# it held before it replaced itself with the command, so the command is
# started from this small program rather than from Python.
_bench_launcher() {
    [ -x "$work/launcher" ] && return
    cat >"$work/launcher.c" <<'C'
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    struct timespec start, end;
    struct rusage usage;
    int status;
    if (argc < 2) return 2;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t child = fork();
    if (child == 0) {
        dup2(2, 1);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    if (child < 0 || wait4(child, &status, 0, &usage) < 0) return 2;
    clock_gettime(CLOCK_MONOTONIC, &end);
    printf("%.3f %.3f %ld\n",
           (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6,
           (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3,
           usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
C
    cc -O2 -o "$work/launcher" "$work/launcher.c"
}

# bench_summary NAME FILE [threads]: the same line for samples timed inside
# one process: FILE holds lines "ours MS" and "peer MS" in the order they
# ran, or "ours WALL-MS PROCESSOR-MS" (bench/bench_clock.h), headlined like
# bench_pair's: by processor time, or with "threads" by the wall time, the
# other figure beside it.
bench_summary() {
    _bench_python summary "$1" "$2" "${3:-}"
}

_bench_python() {
    BENCH_WORK=${work:-/tmp} BENCH_CPUS=${BENCH_CPUS:-$bench_cpus} BENCH_RUNS=$bench_runs \
        python3 - "$@" <<'PY'
import os, shlex, statistics, subprocess, sys

mode, name = sys.argv[1], sys.argv[2]
runs, cpus, work = int(os.environ["BENCH_RUNS"]), os.environ["BENCH_CPUS"], os.environ["BENCH_WORK"]
launcher = os.environ.get("BENCH_LAUNCHER", "")

def run(command, log):
    """One run pinned to the processors: wall ms, processor ms, peak MiB."""
    argv = ["taskset", "-c", cpus, launcher] + shlex.split(command)
    with open(log, "ab") as out:
        p = subprocess.run(argv, stdout=subprocess.PIPE, stderr=out)
    if p.returncode != 0:
        sys.exit(f"{name}: '{command}' failed (status {p.returncode}), see {log}")
    wall, cpu, peak = map(float, p.stdout.split())
    return wall, cpu, peak / 1024

def spread(values):
    return f"{statistics.median(values):8.1f} ({min(values):.1f}-{max(values):.1f})"

def line(ours, peer, extra=""):
    ratios = [o / p for o, p in zip(ours, peer)]
    ratio = statistics.median(ours) / statistics.median(peer)
    print(f"{name:<22} {spread(ours):<30} {spread(peer):<30} "
          f"{ratio:6.3f} ({min(ratios):.3f}-{max(ratios):.3f}){'':9} {extra}", flush=True)

def headline(wall, cpu, threads, memory):
    """By the wall time a user waits when a side runs threads, else by
    processor time; the other figure beside it."""
    if threads:
        cpu_ratio = statistics.median(cpu[0]) / statistics.median(cpu[1])
        line(wall[0], wall[1], f"{memory} (wall ms on {cpus}; processor ms "
             f"{statistics.median(cpu[0]):.1f} / {statistics.median(cpu[1]):.1f}, "
             f"ratio {cpu_ratio:.3f})")
    else:
        wall_ratio = statistics.median(wall[0]) / statistics.median(wall[1])
        line(cpu[0], cpu[1], f"{memory} (wall ratio {wall_ratio:.3f})")

if mode == "pair":
    commands = sys.argv[3:5]
    logs = [f"{work}/{name}.{side}.log" for side in ("ours", "peer")]
    for log in logs:
        open(log, "wb").close()
    for command, log in zip(commands, logs):  # warm-up: caches, page cache
        run(command, log)
    samples = ([], [])
    for _ in range(runs):
        for side in (0, 1):
            samples[side].append(run(commands[side], logs[side]))
    cpu = [[s[1] for s in side] for side in samples]
    wall = [[s[0] for s in side] for side in samples]
    peak = [max(s[2] for s in side) for side in samples]
    headline(wall, cpu, sys.argv[5] == "threads", f"{peak[0]:5.0f} / {peak[1]:<5.0f}")
else:
    samples = {"ours": [], "peer": []}
    for text in open(sys.argv[3]):
        side, *ms = text.split()
        samples[side].append([float(m) for m in ms])
    ours, peer = samples["ours"], samples["peer"]
    if len(ours[0]) == 1:
        line([s[0] for s in ours], [s[0] for s in peer])
    else:
        wall = [[s[0] for s in side] for side in (ours, peer)]
        cpu = [[s[1] for s in side] for side in (ours, peer)]
        headline(wall, cpu, sys.argv[4] == "threads", f"{'':13}")
PY
}

# The median of the numbers on standard input, one a line.
bench_median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# bench_same_bytes A B WHAT: ends the script unless the files are equal.
bench_same_bytes() {
    cmp -s "$1" "$2" || { echo "$3: outputs differ ($1, $2)" >&2; exit 1; }
    echo "$3: outputs equal"
}

# bench_pnm_pixels FILE: the pixel bytes of a PPM, PGM or PAM file, without
# its header, on standard output (the header's end is the first line that is
# ENDHDR for PAM, the third number's single white space otherwise; comment
# lines may come between the numbers).
bench_pnm_pixels() {
    python3 - "$1" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
if data.startswith(b"P7"):
    start = data.index(b"ENDHDR\n") + 7
else:
    gap = rb"(?:\s|#[^\n]*\n)+"  # white space and comment lines
    start = re.match(rb"P[56]" + gap + rb"\d+" + gap + rb"\d+" + gap + rb"\d+\s", data).end()
sys.stdout.buffer.write(data[start:])
PY
}

#!/bin/sh
# Runs every test program of a build once under Valgrind's memcheck: each GoogleTest
# program whole, each fuzz target's replay over its seed corpus. Memory errors and
# definitely lost blocks fail the run, on the completed path of an export and on every
# failure path the tests take. modelhost and cmpinfo, which the end-to-end tests start,
# run under memcheck too; the shell and the small system tools around them do not.
#
# Blender, which the scene tests start to make their models, runs without memcheck too.
# Left out: the GTK programs (the toolkit keeps its own caches for the life of the
# process, which the GTK tests already account for with their own suppressions), the
# Windows programs (Wine), the stop-signal tests (two hundred runs of modelhost, and
# strace, which cannot trace what memcheck runs), and the memory test of the export run, which replaces the
# global allocator to count what a run keeps and so cannot share it with memcheck's own.
# The import child that modelhost forks is left to the importer: it runs Assimp on
# hostile files, and its crashes are the point of the tests that feed it such files; the
# sanitizer build checks our side of it. For the same reason the tests in which the
# child exhausts its memory are left out: under memcheck a failed allocation cannot
# throw std::bad_alloc, so the child takes another road than anywhere else.
#
# usage: scripts/valgrind.sh [BUILD_DIR]   (default: build; built without sanitizers)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -d "$build/bin" ]; then
    echo "valgrind.sh: no programs in $build/bin; build first" >&2
    exit 2
fi

# The shell and env stay traced: what a skipped program starts runs without memcheck.
skip='*/blender,*/node,*/unshare,*/mount,*/head,*/ls,*/cat,*/printf,*/nm,*/cmake'
# A program started in the background has the stop signals INT and QUIT ignored, and one
# run under nohup HUP too, which the stop-signal tests would take as the user's wish: env
# gives every signal back its default.
memcheck() {
    env --default-signal valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
        --show-leak-kinds=definite --child-silent-after-fork=yes --suppressions="$PWD/scripts/valgrind.supp" \
        --trace-children=yes --trace-children-skip="$skip" "$@"
}

# The programs run two at a time, one a core: each one's output goes to a log of its own,
# printed whole when it ends, so two programs' reports never interleave.
jobs=$(mktemp -d)
trap 'rm -rf "$jobs"' EXIT
count=0
running=""
started=""

# start NAME QUIET PROGRAM ARGS...: starts job number $count under memcheck in the
# background; QUIET "yes" drops what the program writes on its standard output.
start() {
    count=$((count + 1))
    echo "$1" >"$jobs/$count.name"
    log="$jobs/$count.log"
    quiet=$2
    shift 2
    (
        echo "== $*"
        status=0
        if [ "$quiet" = yes ]; then
            memcheck "$@" >/dev/null || status=$?
        else
            memcheck "$@" || status=$?
        fi
        # Whole or not at all: the status file's being there says the log is complete.
        echo "$status" >"$jobs/$count.status.part"
        mv "$jobs/$count.status.part" "$jobs/$count.status"
    ) >"$log" 2>&1 </dev/null &
    running="$running $count"
}

# wait_below LIMIT: waits until fewer than LIMIT jobs run, printing each ended one's log.
wait_below() {
    while :; do
        still=""
        left=0
        for job in $running; do
            if [ -f "$jobs/$job.status" ]; then
                cat "$jobs/$job.log"
            else
                still="$still $job"
                left=$((left + 1))
            fi
        done
        running=$still
        [ "$left" -lt "$1" ] && return
        sleep 1
    done
}

# The longest first, so that the other core is not left idle at the end: the inspector's
# program tests draw and check the heaviest models, and alone they would outlast all the
# rest, so they run as two halves (GoogleTest's shards), one a core.
for shard in 0 1; do
    if [ -x "$build/bin/tools_tests" ]; then
        wait_below 2
        start "tools_tests (half $((shard + 1)) of 2)" no env GTEST_TOTAL_SHARDS=2 \
            GTEST_SHARD_INDEX=$shard "$build/bin/tools_tests" --gtest_brief=1 \
            --gtest_filter="-*ExhaustsMemory*"
    fi
done
started=" $build/bin/tools_tests "
for program in "$build"/bin/*_tests "$build"/bin/*_test; do
    [ -x "$program" ] || continue
    case " $started " in *" $program "*) continue ;; esac
    started="$started $program"
    case "$(basename "$program")" in
        *gtk* | *win32* | *wine* | plugin_memory_tests | stop_signal_tests) continue ;;
    esac
    wait_below 2
    # GoogleTest reports its own failures with status 1; 99 is memcheck's.
    start "$(basename "$program")" no "$program" --gtest_brief=1 --gtest_filter="-*ExhaustsMemory*"
done
for replay in "$build"/bin/*_replay; do
    [ -x "$replay" ] || continue
    corpus=fuzz/corpus/$(basename "$replay" _replay)
    [ -d "$corpus" ] || continue
    wait_below 2
    start "$(basename "$replay")" yes "$replay" "$corpus"/*
done
wait_below 1
wait

# The failures in the order the programs started.
failed=""
job=0
while [ "$job" -lt "$count" ]; do
    job=$((job + 1))
    [ "$(cat "$jobs/$job.status")" -eq 0 ] || failed="$failed $(cat "$jobs/$job.name")"
done

if [ -n "$failed" ]; then
    echo "valgrind.sh: failed:$failed" >&2
    exit 1
fi
echo "valgrind.sh: every program ran clean"

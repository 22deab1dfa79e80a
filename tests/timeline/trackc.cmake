# The track compiler's command line end to end (its text reader is the engine's, tested in the unit binary).

# Text -> .track -> text -> .track gives the same bytes, through the command line.
add_test(NAME trackc_round_trip
  COMMAND sh -c "set -e; d=$(mktemp -d); trap 'rm -rf $d' EXIT; \
    $0 ${CMAKE_SOURCE_DIR}/content/timeline.txt $d >/dev/null; \
    $0 --dump $d/sync_*.track > $d/dumped.txt; mkdir $d/again; $0 $d/dumped.txt $d/again >/dev/null; \
    for n in scene part time var overlay greet; do cmp $d/sync_$n.track $d/again/sync_$n.track; done"
    $<TARGET_FILE:trackc>)
set_tests_properties(trackc_round_trip PROPERTIES LABELS e2e)

# A broken timeline names the line and writes nothing.
add_test(NAME trackc_reports_line
  COMMAND sh -c "d=$(mktemp -d); trap 'rm -rf $d' EXIT; printf 'track scene\\n0 1\\n4 2 wobbly\\n' > $d/t.txt; \
    if $0 $d/t.txt $d 2> $d/err; then exit 1; fi; grep -q 't.txt:3: unknown interpolation' $d/err && \
    ! ls $d/sync_scene.track 2>/dev/null"
    $<TARGET_FILE:trackc>)
set_tests_properties(trackc_reports_line PROPERTIES LABELS e2e)

# A type other than 0..3 is written as it is, with one warning naming the track's first such key.
add_test(NAME trackc_warns_of_other_types
  COMMAND sh -c "d=$(mktemp -d); trap 'rm -rf $d' EXIT; printf 'track scene\\n0 1\\n4 2 9\\n8 3 -2\\n' > $d/t.txt; \
    $0 $d/t.txt $d >/dev/null 2> $d/err && [ $(grep -c interpolation $d/err) = 1 ] && \
    grep -q 't.txt:3: warning: interpolation 9 holds 0' $d/err && [ -f $d/sync_scene.track ]"
    $<TARGET_FILE:trackc>)
set_tests_properties(trackc_warns_of_other_types PROPERTIES LABELS e2e)

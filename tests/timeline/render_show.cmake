# kerv16-render over the show, from the build folder (it reads data/): frames into a folder it makes, the log, determinism.
add_test(NAME render_show_frames_and_log
  COMMAND sh -c "set -e; d=$(mktemp -d); trap 'rm -rf $d' EXIT; \
    $0 --times 0,1000,1010 --out $d >/dev/null; \
    test $(wc -c < $d/t1000.cells.bin) -eq 8000; test -s $d/t0.screen.png; test -s $d/t1000.cells.png; \
    test $(ls $d | wc -l) -eq 6; \
    $0 --log $d/log.tsv --until 1000 --step 20; \
    test $(wc -l < $d/log.tsv) -eq 52; head -1 $d/log.tsv | grep -q '^t.scene.part.time.var.overlay.greet.mean.detail$'; \
    $0 --times 1000 --out $d/new/again >/dev/null; cmp $d/t1000.cells.bin $d/new/again/t1000.cells.bin; \
    if $0 --times 0 --out $d/log.tsv 2>$d/err; then exit 1; fi; grep -q 'cannot make the output folder' $d/err; \
    if $0 --times 5 2>/dev/null; then exit 1; fi"
    $<TARGET_FILE:kerv16-render>
  WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(render_show_frames_and_log PROPERTIES LABELS e2e)

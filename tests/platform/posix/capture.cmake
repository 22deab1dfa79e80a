# capture.cmake -- the first ten seconds captured to a video: both streams, 600 frames, 10 s within a frame
add_test(NAME CaptureFirstTenSeconds
  COMMAND bash -c "out=$(mktemp -d) && trap 'rm -rf $out' EXIT && $<TARGET_FILE:kerv16> --capture $out/c.mp4 --until 10000 2>/dev/null && ffprobe -v error -show_entries stream=codec_type,duration,nb_frames -of csv=p=0 $out/c.mp4 > $out/probe.txt && cat $out/probe.txt && grep -q '^video,10.000000,600$' $out/probe.txt && awk -F, '$1 == \"audio\" && $2 > 9.983 && $2 < 10.017 { found = 1 } END { exit !found }' $out/probe.txt"
  WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(CaptureFirstTenSeconds PROPERTIES LABELS e2e TIMEOUT 120)

# music.cmake -- the soundtrack tool: a bad arrangement named by line, and the mp3's headroom as a meter reads it
add_test(NAME MusicToolRejectsBadArrangement
  COMMAND bash -c "printf 'tempo 120\\npattern k X...\\n' > bad.txt; ! $<TARGET_FILE:kerv16-music> bad.txt out.mp3 2> err.txt && grep -q 'bad.txt:2: a pattern has 16 steps' err.txt && printf 'section a 4 Am kick=nope\\n' > bad2.txt && ! $<TARGET_FILE:kerv16-music> bad2.txt out.mp3 2> err.txt && grep -q 'bad2.txt:1: unknown pattern: nope' err.txt"
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
set_tests_properties(MusicToolRejectsBadArrangement PROPERTIES LABELS e2e)

# Four loud bars: ffmpeg's meter must find the true peak at -1 dBTP or below, and the loudness and
# true peak the tool reports within 0.2 of its own. A folder that cannot be written leaves no file behind.
add_test(NAME MusicToolLeavesHeadroom
  COMMAND bash -c "out=$(mktemp -d) && trap 'rm -rf $out' EXIT && printf 'tempo 120\\npattern k X...X...X...X...\\npattern b x.xox.xox.xox.xo\\npattern h xxXxxxXxxxXxxxXx\\nsection a 4 Am F kick=k bass=b hat=h snare=k pad=1\\n' > $out/loud.txt && $<TARGET_FILE:kerv16-music> $out/loud.txt $out/loud.mp3 > $out/said.txt && cat $out/said.txt && ffmpeg -hide_banner -nostats -i $out/loud.mp3 -af ebur128=peak=true -f null - 2>&1 | awk '/Summary/ { s = 1 } s && $1 == \"I:\" { i = $2 } s && $1 == \"Peak:\" { p = $2 } END { print i, p }' > $out/meter.txt && cat $out/meter.txt && read tool_i tool_p < <(sed 's/.* \\([-0-9.]*\\) LUFS integrated, true peak \\([-+0-9.]*\\) dBTP.*/\\1 \\2/' $out/said.txt) && read i p < $out/meter.txt && awk -v i=$i -v p=$p -v ti=$tool_i -v tp=$tool_p 'BEGIN { exit !(p <= -1.0 && (i - ti) ^ 2 < 0.04 && (p - tp) ^ 2 < 0.04) }' && ! $<TARGET_FILE:kerv16-music> $out/loud.txt $out/no/such/dir/x.mp3 2> $out/err.txt && grep -q 'x.mp3' $out/err.txt && [ -z \"$(ls $out/no 2>/dev/null)\" ]"
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
set_tests_properties(MusicToolLeavesHeadroom PROPERTIES LABELS e2e TIMEOUT 120)

# The meter itself, against levels worked out from the signals (tests/tools/loudness_test.cpp).
target_sources(kerv16_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/music/loudness.cpp)
target_include_directories(kerv16_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/music)

# music.cmake -- the soundtrack tool names the line and the problem of a bad arrangement
add_test(NAME MusicToolRejectsBadArrangement
  COMMAND bash -c "printf 'tempo 120\\npattern k X...\\n' > bad.txt; ! $<TARGET_FILE:kerv16-music> bad.txt out.mp3 2> err.txt && grep -q 'bad.txt:2: a pattern has 16 steps' err.txt && printf 'section a 4 Am kick=nope\\n' > bad2.txt && ! $<TARGET_FILE:kerv16-music> bad2.txt out.mp3 2> err.txt && grep -q 'bad2.txt:1: unknown pattern: nope' err.txt"
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
set_tests_properties(MusicToolRejectsBadArrangement PROPERTIES LABELS e2e)

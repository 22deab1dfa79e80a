# tools.cmake -- the content tools make the same files on every run, and name the file and line of a fault
add_test(NAME ContentToolsAreDeterministic
  COMMAND bash -c "rm -rf content-rerun && mkdir content-rerun && \
$<TARGET_FILE:kerv16-pictures> --content ${CMAKE_SOURCE_DIR}/content --fonts ${KERV_FONT_DIR} --out content-rerun && \
$<TARGET_FILE:kerv16-meshes> --content ${CMAKE_SOURCE_DIR}/content/meshes.txt --fonts ${KERV_FONT_DIR} --out content-rerun && \
n=0 && for f in content-rerun/*; do cmp \"$f\" \"${KERV_DATA_DIR}/$(basename \"$f\")\" || exit 1; n=$((n+1)); done && test $n -ge 30"
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_test(NAME ContentToolsRejectBadSources
  COMMAND bash -c "rm -rf bad-content && mkdir -p bad-content/pages bad-content/out && \
printf 'title fine\\nsparkle 3\\n' > bad-content/pages/credz1.txt && \
! $<TARGET_FILE:kerv16-pictures> --content bad-content --fonts ${KERV_FONT_DIR} --out bad-content/out 2> err.txt && \
grep -q 'credz1.txt:2: cannot use \"sparkle 3\"' err.txt && \
printf 'text this line is much too long to fit on any page of the show\\n' > bad-content/pages/credz1.txt && \
! $<TARGET_FILE:kerv16-pictures> --content bad-content --fonts ${KERV_FONT_DIR} --out bad-content/out 2> err.txt && \
grep -q 'is too long for one line' err.txt && \
printf 'title one\\ntitle two\\ntitle three\\ntitle four\\n' > bad-content/pages/credz1.txt && \
! $<TARGET_FILE:kerv16-pictures> --content bad-content --fonts ${KERV_FONT_DIR} --out bad-content/out 2> err.txt && \
grep -q 'credz1.*more than the page' err.txt && \
printf 'font DejaVuSans-Bold.ttf\\nletters ab files=a em=10\\n' > bad-content/meshes.txt && \
! $<TARGET_FILE:kerv16-meshes> --content bad-content/meshes.txt --fonts ${KERV_FONT_DIR} --out bad-content/out 2> err.txt && \
grep -q 'meshes.txt:2: 2 glyphs but 1 file names' err.txt && \
printf 'sky s radius=-1\\n' > bad-content/meshes.txt && \
! $<TARGET_FILE:kerv16-meshes> --content bad-content/meshes.txt --fonts ${KERV_FONT_DIR} --out bad-content/out 2> err.txt && \
grep -q 'meshes.txt:1: the sky needs' err.txt"
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
set_tests_properties(ContentToolsAreDeterministic ContentToolsRejectBadSources PROPERTIES LABELS e2e)

# render.cmake -- the renderer's Screen figures are unit-tested in the test binary; its contact sheet end to end
target_sources(kerv16_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/render/measure.cpp)
target_include_directories(kerv16_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/render)

# Three tiles (0, 6 and 12 s) in one row: 3 x 320 + 4 x 4 by 200 + 12 + 2 x 4 pixels (PNG IHDR, big-endian).
add_test(NAME RenderWritesTheContactSheet
  COMMAND bash -c "set -e; d=$(mktemp -d); trap 'rm -rf $d' EXIT; \
    $0 --sheet $d/sheet.png --until 12000 --step 500; \
    test $(od -An -tx1 -j16 -N8 $d/sheet.png | tr -d ' ') = 000003d0000000dc; \
    ! $0 --sheet $d/no/such/sheet.png --until 0 2> $d/err; grep -q cannot.write.$d/no/such/sheet.png $d/err"
    $<TARGET_FILE:kerv16-render>
  WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(RenderWritesTheContactSheet PROPERTIES LABELS e2e)

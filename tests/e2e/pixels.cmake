# pixels.cmake -- the viewer's pixel layout in xterm as a VT340 (sixel) and in kitty under Xvfb, at scale 1 and 2,
# screenshotted and compared pixel for pixel with the renderer's drawing of the same cells (kitty skipped with a
# note where it cannot start)
add_test(NAME e2e_pixels_shots
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/pixels_shots.sh $<TARGET_FILE:kerv16> $<TARGET_FILE:kerv16-render>
         WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(e2e_pixels_shots PROPERTIES LABELS e2e TIMEOUT 300)

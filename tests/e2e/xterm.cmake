# xterm.cmake -- the viewer's pictures in xterm under Xvfb in the three layouts, screenshotted and scored
# (needs xterm, xvfb, xdotool, x11-apps, imagemagick, fonts-dejavu-core, fonts-terminus-otb, python3-pil).
# The table of scores is always printed; KERV_XTERM_TARGETS names the targets checked (see xterm_shots.sh),
# here all four.
set(KERV_XTERM_TARGETS "wide-ssim wide-aspect grid-ssim compact")
add_test(NAME e2e_xterm_shots
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/xterm_shots.sh $<TARGET_FILE:kerv16> $<TARGET_FILE:kerv16-render>
                 $<TARGET_FILE:kerv16-termshot> ${CMAKE_BINARY_DIR}/termshot/pictures
         WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(e2e_xterm_shots PROPERTIES LABELS e2e TIMEOUT 300
                     ENVIRONMENT "KERV16_SHOT_TARGETS=${KERV_XTERM_TARGETS}")

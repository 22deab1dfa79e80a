# window.cmake -- the console window under Xvfb (needs xvfb-run, xdotool, ImageMagick, python3-xlib)
add_test(NAME WindowUnderXvfb
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/window_e2e.sh $<TARGET_FILE:kerv16> $<TARGET_FILE:kerv16-render>
  WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(WindowUnderXvfb PROPERTIES LABELS e2e TIMEOUT 300)

# web.cmake -- the web page, built with emscripten beside this build: its engine's cells equal this build's at every
# frame of the show, and the page in Debian's Chromium (page_test.js); skipped with a note where emscripten,
# Chromium or npm is missing (sh tools/deps.sh test installs them)
add_test(NAME e2e_web
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/web_test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}
                 $<TARGET_FILE:kerv16-render> $<TARGET_FILE:kerv16-cellsum>
         WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(e2e_web PROPERTIES LABELS e2e TIMEOUT 1200 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)

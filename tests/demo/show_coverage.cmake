# show_coverage.cmake -- the whole show through the renderer's log: every scene, overlay and page, and its end
add_test(NAME ShowCoversEverySceneOverlayAndPage
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/show_coverage.sh $<TARGET_FILE:kerv16-render>
  WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(ShowCoversEverySceneOverlayAndPage PROPERTIES LABELS e2e TIMEOUT 300)

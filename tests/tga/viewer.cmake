# viewer.cmake -- the picture viewer end to end from the command line, in a tmux pane
foreach(case shown missing nokeys)
  add_test(NAME e2e_viewer_${case}
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/viewer_tmux.sh $<TARGET_FILE:kerv16> ${case}
           WORKING_DIRECTORY ${KERV_DATA_ROOT})
  set_tests_properties(e2e_viewer_${case} PROPERTIES LABELS e2e TIMEOUT 60)
endforeach()

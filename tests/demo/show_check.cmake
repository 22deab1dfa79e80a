# show_check.cmake -- the whole show through the renderer's log: how it reads, what it shows, and its end
add_test(NAME WholeShowReadsWellAndShowsEverything
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/show_check.sh $<TARGET_FILE:kerv16-render>
  WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(WholeShowReadsWellAndShowsEverything PROPERTIES LABELS e2e TIMEOUT 300)
add_test(NAME WholeShowCheckJudgesMadeUpLogs
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/show_check_test.sh ${CMAKE_CURRENT_LIST_DIR}/show_check.sh
  WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(WholeShowCheckJudgesMadeUpLogs PROPERTIES LABELS e2e)

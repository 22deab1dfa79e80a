# tmux_live.cmake -- the live mode end to end in an 80 x 50 tmux pane on a copy of content/
add_test(NAME e2e_tmux_live
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/tmux_live.sh $<TARGET_FILE:kerv16> ${CMAKE_SOURCE_DIR}/content)
set_tests_properties(e2e_tmux_live PROPERTIES LABELS e2e TIMEOUT 90)

# tmux.cmake -- the show end to end in an 80 x 50 tmux pane: Escape and SIGTERM both restore the terminal,
# a storm of terminal input and resize signals neither stops the picture nor ends the show, and after
# Ctrl+Z, a resize and fg the picture fills the new size
foreach(way escape sigterm storm suspend)
  add_test(NAME e2e_tmux_${way}
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/tmux_show.sh $<TARGET_FILE:kerv16> ${way}
           WORKING_DIRECTORY ${KERV_DATA_ROOT})
  set_tests_properties(e2e_tmux_${way} PROPERTIES LABELS e2e TIMEOUT 90)
endforeach()

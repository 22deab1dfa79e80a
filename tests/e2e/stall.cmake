# stall.cmake -- the show on a pseudo-terminal that stops reading: SIGTERM, SIGHUP and a double SIGINT end it
# in time with the terminal settings back and nothing left in /dev/shm; a reader resuming after 5 s gets the
# whole picture next, in the text layouts and in sixels
foreach(way term int2 hup resume-text resume-pixels)
  add_test(NAME e2e_stall_${way}
           COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/stall.py $<TARGET_FILE:kerv16> ${way}
           WORKING_DIRECTORY ${KERV_DATA_ROOT})
  set_tests_properties(e2e_stall_${way} PROPERTIES LABELS e2e TIMEOUT 60)
endforeach()

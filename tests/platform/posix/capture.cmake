# capture.cmake -- the video capture end to end: stream lengths, fidelity against the renderer's drawing
# in both modes, and the refusals that leave no file behind
foreach(what length fidelity refusals)
  add_test(NAME e2e_capture_${what}
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/capture_check.sh $<TARGET_FILE:kerv16> $<TARGET_FILE:kerv16-render>
                   ${what}
           WORKING_DIRECTORY ${KERV_DATA_ROOT})
  set_tests_properties(e2e_capture_${what} PROPERTIES LABELS e2e TIMEOUT 120)
endforeach()

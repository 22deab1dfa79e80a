# rooms.cmake -- the folders of src/ include each other one way only (no cycle between rooms)
add_test(NAME rooms_depend_one_way COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/rooms.sh ${CMAKE_SOURCE_DIR}/src)
set_tests_properties(rooms_depend_one_way PROPERTIES LABELS e2e)

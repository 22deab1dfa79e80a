# wine_windows.cmake -- the Windows build's extras: what the unit binary needs from the Linux build,
# and the show end to end under Wine in a tmux pane
target_sources(kerv16_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/trackc/timeline_text.cpp)
target_include_directories(kerv16_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/trackc)
target_compile_definitions(kerv16_tests PRIVATE KERV_TGA_FIXTURES="${KERV_HOST_BUILD}/tests/tga-fixtures")
# Debian's stb headers, without the rest of the Linux /usr/include.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/stb-include)
file(CREATE_LINK /usr/include/stb ${CMAKE_BINARY_DIR}/stb-include/stb SYMBOLIC)
target_include_directories(kerv16_tests SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/stb-include)

foreach(case headless)
  add_test(NAME e2e_wine_${case}
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine_tmux.sh ${CMAKE_SOURCE_DIR}/tools/windows/wine.sh
                   ${CMAKE_BINARY_DIR}/wine-prefix $<TARGET_FILE:kerv16> ${case}
           WORKING_DIRECTORY ${KERV_DATA_ROOT})
  set_tests_properties(e2e_wine_${case} PROPERTIES LABELS e2e TIMEOUT 300 RESOURCE_LOCK wine_console)
endforeach()

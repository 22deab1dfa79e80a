# wine_windows.cmake -- the Windows build's extras: what the unit binary needs from the Linux build,
# the show end to end under Wine (in a tmux pane and in its console window), and the zip unpacked and
# started from elsewhere
target_compile_definitions(kerv16_tests PRIVATE KERV_TGA_FIXTURES="${KERV_HOST_BUILD}/tests/tga-fixtures")
# Debian's stb headers, without the rest of the Linux /usr/include.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/stb-include)
file(CREATE_LINK /usr/include/stb ${CMAKE_BINARY_DIR}/stb-include/stb SYMBOLIC)
target_include_directories(kerv16_tests SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/stb-include)

foreach(case headless interrupt vt)
  add_test(NAME e2e_wine_${case}
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine_tmux.sh ${CMAKE_SOURCE_DIR}/tools/windows/wine.sh
                   ${CMAKE_BINARY_DIR}/wine-prefix $<TARGET_FILE:kerv16> ${case}
           WORKING_DIRECTORY ${KERV_DATA_ROOT})
  set_tests_properties(e2e_wine_${case} PROPERTIES LABELS e2e TIMEOUT 300 RESOURCE_LOCK wine_console)
endforeach()

# Escape pressed in Wine's console window (Xvfb, xdotool). A prefix of its own: Wine's desktop belongs
# to the prefix's first process, and one started without a display (the unit tests) leaves no windows.
add_test(NAME e2e_wine_escape
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/wine_window.sh ${CMAKE_SOURCE_DIR}/tools/windows/wine.sh
                 ${CMAKE_BINARY_DIR}/wine-prefix-x11 $<TARGET_FILE:kerv16>
         WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(e2e_wine_escape PROPERTIES LABELS e2e TIMEOUT 300 RESOURCE_LOCK wine_console)

# The zip as `make windows` packs it, unpacked afresh and started from another folder.
add_test(NAME e2e_wine_unpacked
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine_unpacked.sh ${CMAKE_SOURCE_DIR}/tools/windows/wine.sh
                 ${CMAKE_BINARY_DIR}/wine-prefix $<TARGET_FILE:kerv16> ${KERV_DATA_ROOT}/data
                 ${CMAKE_SOURCE_DIR}/tools/windows/package.sh)
set_tests_properties(e2e_wine_unpacked PROPERTIES LABELS e2e TIMEOUT 300)

# Output into a file: the frames as the Linux build writes them.
add_test(NAME e2e_wine_text
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine_text.sh ${CMAKE_SOURCE_DIR}/tools/windows/wine.sh
                 ${CMAKE_BINARY_DIR}/wine-prefix $<TARGET_FILE:kerv16> ${KERV_HOST_BUILD}/kerv16
         WORKING_DIRECTORY ${KERV_DATA_ROOT})
set_tests_properties(e2e_wine_text PROPERTIES LABELS e2e TIMEOUT 300)

# Statically linked: nothing but Windows' own DLLs (needs no Wine).
add_test(NAME windows_imports COMMAND sh ${CMAKE_SOURCE_DIR}/tools/windows/imports.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:kerv16>)
set_tests_properties(windows_imports PROPERTIES LABELS e2e)

# tga_fixtures.cmake -- reference TGA pictures for the picture tests, written at build time by Pillow
# (and ImageMagick) into the build folder; the tests compare our decoding with the encoders' own.
set(KERV_TGA_FIXTURES ${CMAKE_BINARY_DIR}/tests/tga-fixtures)

# Debian's Pillow belongs to Debian's interpreter; another python3 first on the PATH may lack it.
set(kerv_pil_python "")
foreach(candidate /usr/bin/python3 python3)
  execute_process(COMMAND ${candidate} -c "import PIL" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(rc EQUAL 0)
    set(kerv_pil_python ${candidate})
    break()
  endif()
endforeach()

if(kerv_pil_python)
  add_custom_command(
    OUTPUT ${KERV_TGA_FIXTURES}/manifest.txt
    COMMAND ${kerv_pil_python} ${CMAKE_CURRENT_LIST_DIR}/make_fixtures.py ${KERV_TGA_FIXTURES}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_fixtures.py
    COMMENT "Writing reference TGA pictures with Pillow")
  add_custom_target(tga_fixtures DEPENDS ${KERV_TGA_FIXTURES}/manifest.txt)
  add_dependencies(kerv16_tests tga_fixtures)
else()
  message(WARNING "python3 with Pillow not found (make deps installs python3-pil): the TGA reference tests will fail")
endif()
target_compile_definitions(kerv16_tests PRIVATE KERV_TGA_FIXTURES="${KERV_TGA_FIXTURES}")

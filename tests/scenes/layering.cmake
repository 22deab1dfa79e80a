# layering.cmake -- the scenes see demo control only through the asset table and the shared generator:
# an include of demo.h there would bring the main loop's headers back into the scenes
add_test(NAME scenes_do_not_include_demo_h
  COMMAND sh -c "! grep -n '#include \"demo/demo.h\"' $0/*.cpp $0/*.h" ${CMAKE_SOURCE_DIR}/src/scenes)
set_tests_properties(scenes_do_not_include_demo_h PROPERTIES LABELS e2e)

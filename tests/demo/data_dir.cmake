# data_dir.cmake -- the show started away from its build folder finds data/ beside itself, and an
# installed copy finds it in share/kerv16
add_test(NAME show_runs_from_anywhere
  COMMAND sh -c "set -e; d=$(mktemp -d); trap 'rm -rf $d' EXIT; cd $d; \
    $0 --headless --until 200; \
    cmake --install $1 --prefix $d/inst >/dev/null; cd /; $d/inst/bin/kerv16 --headless --until 200; \
    test -s $d/inst/share/kerv16/data/charmap.lut"
    $<TARGET_FILE:kerv16> ${CMAKE_BINARY_DIR})
set_tests_properties(show_runs_from_anywhere PROPERTIES LABELS e2e)

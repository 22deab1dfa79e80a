# cellgen.cmake -- the table generator gives the same bytes on every run and matches what the build made
add_test(NAME cellgen_deterministic
  COMMAND sh -c "d=$(mktemp -d) && \"$1\" tables \"$d\" && cmp \"$d/charmap.lut\" \"$2/charmap.lut\" && cmp \"$d/colmap.lut\" \"$2/colmap.lut\"; s=$?; rm -rf \"$d\"; exit $s"
          cellgen $<TARGET_FILE:kerv16-cellgen> ${KERV_DATA_ROOT}/data)
set_tests_properties(cellgen_deterministic PROPERTIES LABELS e2e)
